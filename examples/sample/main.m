function main
% MAIN  Entry point of the sample project: load, analyse, plot, report.
data = load_data('samples.csv');  % the '%' inside the string is not a comment
result = analyse(data, ...
    'Smooth', true);
plot_result(result);
for k = 1:numel(result)
    report(result, k);
end
missing_helper(data);   % no such file on the path: it drops out
debug_dump(result);
