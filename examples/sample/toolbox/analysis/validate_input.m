function validate_input(x)
% VALIDATE_INPUT  Stops with an error for empty input.
if isempty(x)
    error('sample:empty', 'Input is empty');
end
