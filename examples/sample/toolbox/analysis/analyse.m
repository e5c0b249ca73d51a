function result = analyse(data, varargin)
% ANALYSE  Smooths the data and adds summary statistics.
validate_input(data);
smoothed = smooth_series(data, 5);
result.mean = summary_stats(smoothed);
result.values = smoothed';  % a transpose, not a string
