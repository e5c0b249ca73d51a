function plot_result(result)
% PLOT_RESULT  Draws the smoothed series.
figure;
style_axes(gca);
legacy_plot(result.values);
