function [names, uses] = compiled_functions()
% compiled_functions  The toolbox's compiled functions, from the list every
% build reads (cmake/toolbox.cmake of the sources this suite is part of, one
% toolbox_function(NAME WORD...) line each): their names, as a cell of text,
% and what each uses, as a cell of such cells, one for each name. build_mex
% reads the list the same way, by itself, as it ships without the suite.
  root = fileparts(fileparts(fileparts(mfilename('fullpath'))));
  rows = regexp(fileread(fullfile(root, 'cmake', 'toolbox.cmake')), '^[ \t]*toolbox_function\(([^)]*)\)', ...
                'tokens', 'lineanchors');
  words = cellfun(@(row) regexp(strtrim(row{1}), '\s+', 'split'), rows, 'UniformOutput', false);
  names = cellfun(@(w) w{1}, words, 'UniformOutput', false);
  uses = cellfun(@(w) w(2:end), words, 'UniformOutput', false);
end
