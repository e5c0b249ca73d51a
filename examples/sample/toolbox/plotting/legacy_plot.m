function legacy_plot(values)
% LEGACY_PLOT  Old plotting code, hidden through the discard list.
plot(values);
