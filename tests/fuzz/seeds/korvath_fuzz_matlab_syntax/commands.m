format long
warning off all
x = 1; if x, disp x, elseif x > 2 do_it(x); else, end
while x < 3, x = x + 1; endwhile
do x--; until x < 0
switch lower('A'), case {'a'}, f(1); otherwise, g(2); end
try, risky(); catch err, handle_it(err); end
import pkg.*
