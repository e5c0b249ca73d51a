function debug_dump(x)
% DEBUG_DUMP  Writes the whole structure to the console.
disp(x);
