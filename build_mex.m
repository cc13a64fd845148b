function build_mex(outdir)
% build_mex  Build the toolbox's compiled functions with this host's own mex command.
%
%   build_mex(outdir) compiles the functions listed in cmake/toolbox.cmake
%   from the sources beside this file into the folder outdir (default: the
%   current folder), together with their help files (reloj.m and so on) and
%   the toolbox's functions written in the MATLAB language (sondeo.m). Then addpath(outdir)
%   makes them callable. The folders may have spaces and letters outside
%   ASCII in their names, and so may the temporary folder.
%
%   In MATLAB (R2017b or later, with a C++17 compiler chosen by "mex -setup
%   C++") this gives reloj.mexw64, espera.mexw64 and so on on Windows,
%   .mexa64 on Linux, or .mexmaci64 or .mexmaca64 on macOS; in GNU Octave
%   (with its development files, e.g. Debian's octave-dev) it gives
%   reloj.mex, espera.mex and so on. The compiler flags set in the
%   environment (CXXFLAGS, LDFLAGS) are kept.
%
%   On macOS, MATLAB before R2025b links C++ MEX files only with Xcode's
%   classic linker: with Xcode 15 and later build_mex asks for it
%   (-ld_classic, which Xcode has deprecated) and says so. Where Xcode has
%   no classic linker left, it stops before building, saying so: use MATLAB
%   R2025b or later, or an Xcode that still has it.

  if nargin < 1
    outdir = pwd;
  end
  if ~exist(outdir, 'dir')
    mkdir(outdir);
  end
  root = fileparts(mfilename('fullpath'));

  if exist('OCTAVE_VERSION', 'builtin') ~= 0
    build = @build_octave;
  else
    build = @build_matlab;
  end

  % Each function is built from its own source and the common ones, which
  % pick the platform's clock and the host's Ctrl+C request themselves
  % (paths relative to root).
  common = strrep(toolbox_list(root, 'TOOLBOX_COMMON_SOURCES'), '/', filesep);
  [names, uses] = compiled_functions(root);
  for k = 1:numel(names)
    sources = [{fullfile(names{k}, [names{k} '.cpp'])}, common];
    build(root, outdir, names{k}, uses{k}, sources);
    copy_help_file(root, names{k}, outdir);
    fprintf('built %s in %s\n', names{k}, outdir);
  end
  for name = toolbox_list(root, 'TOOLBOX_SCRIPTS')
    copyfile(fullfile(root, name{1}, [name{1} '.m']), outdir);
  end
end

% The compiled functions, one toolbox_function(NAME WORD...) line each in
% cmake/toolbox.cmake, which every build and package reads: their names, and
% for each the words that say what it uses.
function [names, uses] = compiled_functions(root)
  rows = regexp(fileread(fullfile(root, 'cmake', 'toolbox.cmake')), '^[ \t]*toolbox_function\(([^)]*)\)', ...
                'tokens', 'lineanchors');
  words = cellfun(@(row) regexp(strtrim(row{1}), '\s+', 'split'), rows, 'UniformOutput', false);
  names = cellfun(@(w) w{1}, words, 'UniformOutput', false);
  uses = cellfun(@(w) w(2:end), words, 'UniformOutput', false);
end

% The names in one of the toolbox's other lists, kept with its version in
% cmake/toolbox.cmake for every build and package.
function names = toolbox_list(root, list)
  text = fileread(fullfile(root, 'cmake', 'toolbox.cmake'));
  found = regexp(text, ['set\(' list '\>([^)]*)\)'], 'tokens', 'once');
  names = {};
  if ~isempty(strtrim(found{1}))
    names = regexp(strtrim(found{1}), '\s+', 'split');
  end
end

% A compiled function's help file, with the body that runs where the
% compiled function is missing (cmake/missing_compiled.m) and the release's
% version (from VERSION) filled in; cmake/toolbox.cmake copies it the same way.
function copy_help_file(root, name, outdir)
  release = strtrim(fileread(fullfile(root, 'VERSION')));
  body = regexprep(fileread(fullfile(root, 'cmake', 'missing_compiled.m')), '[\r\n]+$', '');
  text = strrep(fileread(fullfile(root, name, [name '.m'])), '% @TOOLBOX_MISSING_COMPILED@', body);
  text = strrep(text, '@TOOLBOX_VERSION@', release);
  file = fopen(fullfile(outdir, [name '.m']), 'w');
  if file < 0
    error('build_mex:cannotWrite', 'build_mex: cannot write %s', fullfile(outdir, [name '.m']));
  end
  fwrite(file, text);
  fclose(file);
end

% The language, and the conversions of counter readings to milliseconds,
% which must be computed exactly as written: no fused multiply-add, no
% fast-math reordering. On Linux the extensions are linked hardened: every
% symbol bound at load, then the relocated data made read-only, and no
% executable stack. Each set of flags is kept in a file of its own (GCC and
% Clang) for every build.
function flags = flags_from(root, file)
  lines = strsplit(fileread(fullfile(root, 'cmake', file)), char(10));
  lines = strtrim(lines);
  lines = lines(~cellfun(@isempty, lines) & ~strncmp(lines, '#', 1));
  flags = strjoin(lines, ' ');
end

function build_octave(root, outdir, name, ~, sources)
  export_list = 'cmake/exports.map';  % relative to the folder the build runs in
  % mkoctfile takes its flags from the environment: the user's own if set,
  % else Octave's defaults; ours come after them and so prevail.
  previous_cxx = getenv('CXXFLAGS');
  setenv('CXXFLAGS', [flags_of_user_or_octave('CXXFLAGS') ' ' flags_from(root, 'cxx_flags.txt')]);
  restore_cxx = onCleanup(@() restore_env('CXXFLAGS', previous_cxx));
  previous_ld = getenv('LDFLAGS');
  if isunix && ~ismac
    % Only the two entries the host looks for leave the library.
    setenv('LDFLAGS', [flags_of_user_or_octave('LDFLAGS') ' ' flags_from(root, 'linux_link_flags.txt') ...
                       ' -Wl,--version-script=' export_list]);
  end
  restore_ld = onCleanup(@() restore_env('LDFLAGS', previous_ld));
  % mkoctfile does not quote the paths in the commands it runs, and compiles
  % into the temporary folder, whose name may have a space (on Windows it is
  % in the user's folder), as may the sources' and outdir. So the build runs
  % in a fresh folder of its own, on copies of the sources, with relative
  % paths only: each source to an object beside it, then the objects linked.
  staging = tempname();
  mkdir(staging);
  remove = onCleanup(@() remove_folder(staging));
  folders = [unique(cellfun(@fileparts, sources, 'UniformOutput', false)), {'cmake'}];
  for k = 1:numel(folders)
    mkdir(fullfile(staging, folders{k}));
    copyfile(fullfile(root, folders{k}, '*'), fullfile(staging, folders{k}));
  end
  objects = regexprep(sources, '\.cpp$', '.o');
  here = pwd;
  back = onCleanup(@() cd(here));
  cd(staging);
  % Nor does Octave 11's mkoctfile quote the names of the files it makes in
  % the temporary folder, nor GCC's link-time optimiser (in Debian's flags
  % for Octave 9) the makefile it writes there: both go into this folder,
  % named relative to it.
  previous_tmpdir = getenv('TMPDIR');
  setenv('TMPDIR', '.');
  restore_tmpdir = onCleanup(@() restore_env('TMPDIR', previous_tmpdir));
  for k = 1:numel(sources)
    mex('-c', '-I.', sources{k}, '-o', objects{k});
  end
  mex('-o', [name '.mex'], objects{:});
  cd(here);  % outdir may be relative to it
  movefile(fullfile(staging, [name '.mex']), fullfile(outdir, [name '.mex']), 'f');
end

% A variable of mkoctfile's as the user set it in the environment, or else as
% Octave reports it.
function flags = flags_of_user_or_octave(variable)
  flags = getenv(variable);
  if isempty(flags)
    flags = strtrim(mkoctfile('-p', variable));
  end
end

function remove_folder(folder)
  confirm_recursive_rmdir(false, 'local');
  rmdir(folder, 's');
end

function restore_env(name, previous)
  if isempty(previous)
    unsetenv(name);
  else
    setenv(name, previous);
  end
end

% MATLAB's mex links in its own mexfilerequiredapiversion; the define makes
% the gateway leave its own out. Not tried here: no MATLAB on the machines
% these functions are developed on.
function build_matlab(root, outdir, name, uses, sources)
  compiler = mex.getCompilerConfigurations('C++', 'Selected');
  if strncmpi(compiler.ShortName, 'MSVC', 4)
    flags = {'COMPFLAGS=$COMPFLAGS /std:c++17 /fp:precise'};
  else
    flags = {['CXXFLAGS=$CXXFLAGS ' flags_from(root, 'cxx_flags.txt')]};
  end
  % MATLAB's version: 9.3 is R2017b, 9.4 R2018a, ... 9.14 R2023a; then
  % 23.2 is R2023b, 24.1 R2024a, and so on.
  release = sscanf(version, '%d.%d', 2);
  if isunix && ~ismac
    flags{end+1} = ['LDFLAGS=$LDFLAGS ' flags_from(root, 'linux_link_flags.txt')];
  end
  if isunix && ~ismac && any(strcmp(uses, 'interrupt'))
    % A function that waits needs libut, where MATLAB keeps its interrupt
    % request, as MEX code linked with -lut does; the calls stay weak.
    flags{end+1} = 'LINKLIBS=$LINKLIBS -Wl,--no-as-needed -lut -Wl,--as-needed';
  end
  if ismac
    % The macOS linker wants every symbol found at link time; libut's
    % interrupt calls are found when the extension is loaded, or stay null.
    link = '-Wl,-U,_utIsInterruptPending -Wl,-U,_utSetInterruptPending';
    % Before R2025b, MATLAB's C++ MEX files do not link with the linker of
    % Xcode 15 and later (mexCreateMexFunction and two more stay undefined),
    % but do with its classic one, which Xcode keeps, deprecated, behind
    % -ld_classic. Older linkers are the classic one, and do not know the
    % option; newer Xcode has removed it.
    if release(1) < 25 || (release(1) == 25 && release(2) < 2)
      if takes_ld_classic()
        link = [link ' -Wl,-ld_classic'];
        fprintf('build_mex: linking with Xcode''s classic linker (-ld_classic), as MATLAB before R2025b needs\n');
      elseif linker_is_new()
        error('build_mex:noClassicLinker', ['build_mex: MATLAB R%s links C++ MEX files on macOS only with ' ...
              'Xcode''s classic linker, which this Xcode no longer has (its linker refuses -ld_classic). ' ...
              'Use MATLAB R2025b or later, or an Xcode that still has the classic linker ' ...
              '(choose it with xcode-select).'], version('-release'));
      end
    end
    flags{end+1} = ['LDFLAGS=$LDFLAGS ' link];
  end
  % The 64-bit array interface of R2017b: R2018a's mex (MATLAB 9.4) and
  % later name it -R2017b; R2017b's own mex knows only -largeArrayDims.
  if release(1) < 9 || (release(1) == 9 && release(2) < 4)
    api = '-largeArrayDims';
  else
    api = '-R2017b';
  end
  % mex is run from root, so that the sources and the folder of their headers
  % are relative paths, which no space in root's name can split; only outdir
  % is handed whole, made absolute first.
  here = pwd;
  back = onCleanup(@() cd(here));
  cd(outdir);
  outdir = pwd;
  cd(root);
  mex(api, '-DMEX_HOST_DEFINES_API_VERSION', '-I.', flags{:}, ...
      '-outdir', outdir, '-output', name, sources{:});
end

% Whether Xcode's linker is the one of Xcode 15 and later, which names itself
% ld where the classic one names itself ld64.
function yes = linker_is_new()
  [~, text] = system('xcrun -sdk macosx ld -v 2>&1');
  yes = ~isempty(regexp(text, 'PROJECT:ld-[0-9]', 'once'));
end

% Whether Xcode's linker takes -ld_classic: a trial link of an empty program
% with it, by the compiler mex runs on macOS.
function yes = takes_ld_classic()
  source = [tempname() '.cpp'];
  program = tempname();
  file = fopen(source, 'w');
  fprintf(file, 'int main() { return 0; }\n');
  fclose(file);
  status = system(sprintf('xcrun -sdk macosx clang++ -Wl,-ld_classic "%s" -o "%s" > /dev/null 2>&1', source, program));
  yes = status == 0;
  delete(source);
  if exist(program, 'file')
    delete(program);
  end
end
