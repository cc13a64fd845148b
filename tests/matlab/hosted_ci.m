function hosted_ci(job, varargin)
% hosted_ci  What each MATLAB job of the hosted CI workflow
% (.github/workflows/ci.yml) does, in MATLAB alone.
%
%   hosted_ci('build_mex', OUT) chooses the C++ compiler, builds the
%   compiled functions with build_mex into OUT, writes OUT/built-by.txt (the MATLAB, the
%   compiler and, on macOS, the Xcode that built them) and runs the suite
%   against OUT. On macOS before R2025b, first, build_mex with an Xcode
%   that has no classic linker left must stop before building.
%
%   hosted_ci('prebuilt', RELEASE) unzips the MATLAB archive of the folder
%   RELEASE and runs the suite against the folder it holds.
%
%   hosted_ci('toolbox', RELEASE, MACOS, OUT) puts the macOS extensions of
%   the folder MACOS beside those of the archive, packages that folder into
%   OUT with package_mltbx, installs the toolbox file, runs the suite against
%   the installed toolbox and uninstalls it.
%
%   Relative paths start from the current folder, where the workflow starts
%   MATLAB: the checkout. The suite runs from a fresh folder outside the
%   sources, as in a user's session: in the checkout, MATLAB would see each
%   function's folder of the sources (reloj/ and so on).

  root = fileparts(fileparts(fileparts(mfilename('fullpath'))));
  addpath(fullfile(root, 'tests', 'suite'), fullfile(root, 'release'));
  switch job
    case 'build_mex'
      out = absolute(varargin{1});
      mex('-setup', 'C++');
      here = pwd;
      cd(root);
      without_classic_linker();
      build_mex(out);
      cd(here);
      record_builder(out);
      suite(out);
    case 'prebuilt'
      suite(unzipped(absolute(varargin{1}), ' unzipped'));
    case 'toolbox'
      folder = unzipped(absolute(varargin{1}), ' toolbox');
      copyfile(fullfile(absolute(varargin{2}), '*.mexmaca64'), folder);
      installed = matlab.addons.install(package_mltbx(folder, absolute(varargin{3})));
      fprintf('installed %s %s\n', char(installed.Name), char(installed.Version));
      % Its own copy, not the folder it was made from.
      found = fileparts(which('reloj'));
      assert(~isempty(found) && ~strcmp(found, folder), 'reloj is [%s], not the installed toolbox''s', found);
      suite(found);
      matlab.addons.uninstall(char(installed.Identifier));
      assert(isempty(which('reloj')), 'reloj is still found after uninstalling: %s', which('reloj'));
    otherwise
      error('hosted_ci:job', 'hosted_ci: no job %s', job);
  end
end

function file = absolute(file)
  if isempty(regexp(file, '^([A-Za-z]:)?[\\/]', 'once'))
    file = fullfile(pwd, file);
  end
end

% The folder the release's one MATLAB archive holds, unzipped into a fresh
% folder whose name ends in suffix.
function folder = unzipped(release, suffix)
  archive = dir(fullfile(release, '*-matlab.zip'));
  assert(numel(archive) == 1, 'one MATLAB archive expected in %s, found %d', release, numel(archive));
  out = [tempname() suffix];
  unzip(fullfile(release, archive.name), out);
  contents = dir(fullfile(out, '*', 'Contents.m'));
  assert(numel(contents) == 1, 'no folder with a Contents.m in %s', archive.name);
  folder = contents.folder;
end

% An xcrun first on the path stands for an Xcode without the classic linker:
% its linker is the new one, and every link fails.
function without_classic_linker()
  release = sscanf(version, '%d.%d', 2);
  if ~ismac || release(1) > 25 || (release(1) == 25 && release(2) >= 2)
    return;
  end
  fake = tempname();
  mkdir(fake);
  file = fopen(fullfile(fake, 'xcrun'), 'w');
  fprintf(file, '#!/bin/sh\ncase "$*" in *" ld -v") echo "@(#)PROGRAM:ld  PROJECT:ld-1300";; esac\nexit 1\n');
  fclose(file);
  fileattrib(fullfile(fake, 'xcrun'), '+x');
  previous = getenv('PATH');
  setenv('PATH', [fake pathsep previous]);
  out = [tempname() ' refused'];
  err = [];
  try
    build_mex(out);
  catch err
  end
  setenv('PATH', previous);
  assert(~isempty(err) && strcmp(err.identifier, 'build_mex:noClassicLinker'), 'build_mex built, or failed otherwise');
  for part = {'R2025b or later', 'an Xcode that still has the classic linker'}
    assert(~isempty(strfind(err.message, part{1})), 'the error does not say [%s]: %s', part{1}, err.message);
  end
  assert(isempty(dir(fullfile(out, '*.mexmaca64'))), 'build_mex built in %s', out);
  fprintf('without the classic linker: %s\n', err.message);
end

function record_builder(out)
  compiler = mex.getCompilerConfigurations('C++', 'Selected');
  lines = {sprintf('MATLAB %s, %s', version(), computer('arch')), sprintf('%s %s', compiler.Name, compiler.Version)};
  if ismac
    [~, text] = system('xcodebuild -version; sw_vers');
    lines{end + 1} = strjoin(strsplit(strtrim(text), char(10)), ', ');
  end
  file = fopen(fullfile(out, 'built-by.txt'), 'w');
  fprintf(file, '%s\n', lines{:});
  fclose(file);
  fprintf('%s\n', lines{:});
end

function suite(folder)
  scratch = tempname();
  mkdir(scratch);
  cd(scratch);
  run_suite(folder);
end
