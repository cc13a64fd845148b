function yes = ends_with(text, ending)
% ends_with  Whether the text ends with ending. Octave puts a function's name
% before its error message and MATLAB does not, so messages are matched by
% their ending.
  yes = ischar(text) && numel(text) >= numel(ending) && strcmp(text(end - numel(ending) + 1:end), ending);
end
