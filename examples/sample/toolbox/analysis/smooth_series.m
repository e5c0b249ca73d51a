function y = smooth_series(x, width)
% SMOOTH_SERIES  Moving average of WIDTH samples.
kernel = ones(1, width) / width;
y = conv(x, kernel, 'same');
