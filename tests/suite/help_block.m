function text = help_block(file)
% help_block(FILE): the help text that MATLAB and Octave show for the
% function file FILE: the comment lines right after its function line, less
% their comment marks, each ended by a newline.
  lines = regexp(fileread(file), '\n', 'split');
  first = find(strncmp(lines, 'function ', 9), 1) + 1;
  last = first;
  while last <= numel(lines) && strncmp(lines{last}, '%', 1)
    last = last + 1;
  end
  stripped = cellfun(@(line) line(2:end), lines(first:last-1), 'UniformOutput', false);
  text = sprintf('%s\n', stripped{:});
end
