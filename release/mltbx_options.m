function options = mltbx_options(folder)
% mltbx_options  What the MATLAB toolbox file of a release folder declares,
% read from the folder and the sources and checked: what package_mltbx hands
% to MATLAB. Runs in MATLAB and GNU Octave.
%
%   OPTIONS = mltbx_options(FOLDER), for FOLDER the folder of the release's
%   MATLAB archive (with any macOS builds put beside the others), returns:
%     name, summary    the first line of FOLDER/Contents.m
%     version          the file VERSION of these sources, which Contents.m
%                      must name too
%     identifier       the toolbox's own, the same in every release, by which
%                      MATLAB knows a release replaces an earlier one
%     minimum_release  the release the compiled functions declare
%     platforms        Win64, Glnxa64 and Maci64: true where FOLDER holds
%                      every compiled function for that platform
%     file_name        NAME-VERSION.mltbx
%   The compiled functions are those for 64-bit Windows; those for Linux must
%   be there too, a platform may not have only some of them, and each needs
%   its help file beside it.

  root = fileparts(fileparts(mfilename('fullpath')));
  options.identifier = '7d3fd767-4795-427c-b561-1710356ffed2';
  options.minimum_release = 'R2017b';
  options.version = strtrim(fileread(fullfile(root, 'VERSION')));

  contents = fullfile(folder, 'Contents.m');
  if ~exist(contents, 'file')
    refuse('%s has no Contents.m: it is not the folder of the MATLAB archive', folder);
  end
  lines = regexp(fileread(contents), '\r?\n', 'split');
  first = regexp(lines{1}, '^%\s*(\S+)\s+(.*\S)', 'tokens', 'once');
  said = regexp([lines{min(2, end)} ' '], '^%\s*Version\s+(\S+)\s', 'tokens', 'once');
  if isempty(first) || isempty(said)
    refuse('%s does not begin with the name, the summary and the version', contents);
  end
  if ~strcmp(said{1}, options.version)
    refuse('%s is of version %s, the sources of %s', folder, said{1}, options.version);
  end
  options.name = first{1};
  options.summary = first{2};
  options.file_name = [options.name '-' options.version '.mltbx'];

  names = compiled(folder, 'mexw64');
  if isempty(names)
    refuse('%s holds no compiled functions for 64-bit Windows (.mexw64)', folder);
  end
  platforms = {'mexw64', 'Win64'; 'mexa64', 'Glnxa64'; 'mexmaca64', 'Maci64'};
  for i = 1:size(platforms, 1)
    found = compiled(folder, platforms{i, 1});
    if ~isempty(found) && ~isequal(found, names)
      refuse('%s holds .%s files for %s, not for %s', folder, platforms{i, 1}, strjoin(found, ', '), strjoin(names, ', '));
    end
    options.platforms.(platforms{i, 2}) = ~isempty(found);
  end
  if ~options.platforms.Glnxa64
    refuse('%s holds no compiled functions for 64-bit Linux (.mexa64)', folder);
  end
  for i = 1:numel(names)
    if ~exist(fullfile(folder, [names{i} '.m']), 'file')
      refuse('%s has no help file %s.m', folder, names{i});
    end
  end
end

% The names of the compiled functions in folder with the extension ext, sorted.
function names = compiled(folder, ext)
  files = dir(fullfile(folder, ['*.' ext]));
  names = sort(regexprep({files.name}, '\.[^.]*$', ''));
end

function refuse(varargin)
  error('package_mltbx:badFolder', ['package_mltbx: ' varargin{1}], varargin{2:end});
end
