function wrong = wrong_messages(cases, f)
% wrong_messages  The calls of a table that did not end in their message, each
% described, as a cell of text: empty when all did. A message is matched by
% its ending, as Octave puts the function's name before it.
%
%   wrong_messages(CASES): each row {call, function, inputs, outputs, message}.
%   wrong_messages(CASES, F): each row {input, value, message}, F(value)
%   asked for one output.
%
% A file of its own, not a local function of the checks, because the checks
% clear functions and then call it.
  wrong = {};
  for i = 1:size(cases, 1)
    if nargin < 2
      [call, got, want] = deal(cases{i, 1}, message_of(cases{i, 2}, cases{i, 3}, cases{i, 4}), cases{i, 5});
    else
      [call, got, want] = deal(cases{i, 1}, message_of(f, cases(i, 2), 1), cases{i, 3});
    end
    if ~ends_with(got, want)
      wrong{end + 1} = sprintf('%s gave [%s], not [%s]', call, got, want); %#ok<AGROW>
    end
  end
end
