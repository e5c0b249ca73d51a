function style_axes(ax)
% STYLE_AXES  Grid and labels.
grid(ax, 'on');
xlabel(ax, 'Sample');
