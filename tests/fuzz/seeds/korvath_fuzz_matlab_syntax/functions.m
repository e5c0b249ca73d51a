function out = main(x)
% Calls by name, by text and by handle.
  y = helper(x) + feval('other', x);
  ok = cellfun('isempty', {y}); h = @third;
  eval('dyn(1)');
  out = nested_one(y) ...
        + h(2)';
  function r = nested_one(v)
    r = v.field.method(3);
  end
end
function r = helper(v)
  %{
  block comment helper2(1)
  %}
  hold on
  r = [v' 'text''s' v.'];
end
