function names = compiled_functions()
% compiled_functions  The names of the toolbox's compiled functions, as a
% cell of text, from the list every build reads (TOOLBOX_EXTENSIONS in
% cmake/toolbox.cmake of the sources this suite is part of).
  root = fileparts(fileparts(fileparts(mfilename('fullpath'))));
  text = fileread(fullfile(root, 'cmake', 'toolbox.cmake'));
  found = regexp(text, 'set\(TOOLBOX_EXTENSIONS\s+([^)]*)\)', 'tokens', 'once');
  names = regexp(strtrim(found{1}), '\s+', 'split');
end
