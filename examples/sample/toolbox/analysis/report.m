function report(result, k)
% REPORT  Prints one line of the result.
fprintf('%d: %f\n', k, summary_stats(result.values(k)));
