function m = summary_stats(x)
% SUMMARY_STATS  Mean of the samples, ignoring NaN.
m = mean(x(~isnan(x)));
