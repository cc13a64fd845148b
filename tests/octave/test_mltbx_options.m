function failures = test_mltbx_options(zip)
% test_mltbx_options(ZIP): what the MATLAB toolbox file would declare for the
% folder of the MATLAB archive ZIP, unzipped, and for copies of it changed
% the ways a release folder goes wrong: each of those must be refused, with
% a message naming the fault, before MATLAB is asked for anything. Then
% package_mltbx in Octave, which must say that it needs MATLAB. Returns how
% many checks failed.
  failures = 0;
  work = [tempname() ' mltbx'];
  mkdir(work);
  unzip(zip, work);
  unzipped = fullfile(work, 'reloj-espera');
  release = strtrim(fileread(fullfile(fileparts(fileparts(which('mltbx_options'))), 'VERSION')));
  names = sort(compiled_functions());
  all_names = strjoin(names, ', ');
  cases = {
    % folder                            change                                        refused for, or Maci64
    'as unzipped',                      @(f) f,                                       false
    'with the macOS builds',            @(f) touch(f, names{:}),                      true
    'one macOS build of them all',      @(f) touch(f, 'reloj'),                       ['.mexmaca64 files for reloj, not for ' all_names]
    'a Linux build missing',            @(f) delete(fullfile(f, 'espera.mexa64')),    ['.mexa64 files for ' strjoin(setdiff(names, {'espera'}), ', ') ', not for ' all_names]
    'no Linux builds',                  @(f) delete(fullfile(f, '*.mexa64')),         'no compiled functions for 64-bit Linux'
    'no Windows builds',                @(f) delete(fullfile(f, '*.mexw64')),         'no compiled functions for 64-bit Windows'
    'a help file missing',              @(f) delete(fullfile(f, 'espera.m')),         'no help file espera.m'
    'Contents.m of another version',    @(f) version_in(f, '0.0.1'),                  'is of version 0.0.1, the sources of'
    'no Contents.m',                    @(f) delete(fullfile(f, 'Contents.m')),       'has no Contents.m'
  };
  for i = 1:size(cases, 1)
    folder = fullfile(work, sprintf('case %d', i));
    copyfile(unzipped, folder);
    cases{i, 2}(folder);
    err = [];
    try
      options = mltbx_options(folder);
    catch err
    end
    want = cases{i, 3};
    if ischar(want)
      if isempty(err) || ~strcmp(err.identifier, 'package_mltbx:badFolder') || isempty(strfind(err.message, want))
        failures = failures + report(cases{i, 1}, 'not refused for [%s]: %s', want, message_or_none(err));
      end
    elseif ~isempty(err)
      failures = failures + report(cases{i, 1}, 'refused: %s', err.message);
    elseif ~isequal(options.platforms, struct('Win64', true, 'Glnxa64', true, 'Maci64', want)) ...
        || ~strcmp(options.name, 'reloj-espera') || ~strcmp(options.version, release) || isempty(options.summary) ...
        || ~strcmp(options.file_name, ['reloj-espera-' release '.mltbx'])
      failures = failures + report(cases{i, 1}, '%s', disp(options));
    end
  end
  err = [];
  try
    package_mltbx(unzipped, work);
  catch err
  end
  if isempty(err) || ~strcmp(err.identifier, 'package_mltbx:needsMatlab')
    failures = failures + report('package_mltbx', 'in Octave: %s', message_or_none(err));
  end
  confirm_recursive_rmdir(false, 'local');
  rmdir(work, 's');
  fprintf('mltbx_options: %d failures\n', failures);
end

function one = report(name, varargin)
  fprintf('%s: %s\n', name, sprintf(varargin{:}));
  one = 1;
end

function text = message_or_none(err)
  text = 'no error';
  if ~isempty(err)
    text = err.message;
  end
end

% A macOS build of each function named, an empty file.
function touch(folder, varargin)
  for i = 1:numel(varargin)
    fclose(fopen(fullfile(folder, [varargin{i} '.mexmaca64']), 'w'));
  end
end

function version_in(folder, release)
  file = fullfile(folder, 'Contents.m');
  text = regexprep(fileread(file), 'Version \S+', ['Version ' release]);
  f = fopen(file, 'w');
  fwrite(f, text);
  fclose(f);
end
