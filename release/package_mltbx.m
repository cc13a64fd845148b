function file = package_mltbx(folder, outdir)
% package_mltbx  Package a release folder of reloj-espera as a MATLAB
% toolbox file, which users install with a double-click.
%
%   FILE = package_mltbx(FOLDER, OUTDIR) packages FOLDER, the folder that the
%   release's MATLAB archive holds (the compiled functions for 64-bit Windows
%   and Linux, their help files, sondeo and Contents.m) with any macOS builds
%   put beside them (.mexmaca64, from build_mex), into
%   OUTDIR/reloj-espera-VERSION.mltbx (OUTDIR: the current folder if not
%   given), and returns the file's path. VERSION is the one of these sources,
%   which FOLDER's Contents.m must name. The toolbox declares the platforms
%   FOLDER has compiled functions for and MATLAB R2017b or later
%   (mltbx_options says what it declares, and what it refuses).
%
%   Needs MATLAB R2023a or later. The toolbox file installs by a
%   double-click, with Add-Ons > Install from File, or with
%   matlab.addons.install(FILE); it puts its folder on the path.
%
%   Example:
%       unzip('reloj-espera-1.4.0-matlab.zip', 'stage');
%       package_mltbx(fullfile('stage', 'reloj-espera'), 'dist')

  if nargin < 2
    outdir = pwd;
  end
  options = mltbx_options(folder);
  if exist('OCTAVE_VERSION', 'builtin') ~= 0 || isempty(meta.class.fromName('matlab.addons.toolbox.ToolboxOptions'))
    error('package_mltbx:needsMatlab', ['package_mltbx: needs MATLAB R2023a or later, ' ...
          'which packages toolboxes with matlab.addons.toolbox.ToolboxOptions']);
  end
  if ~exist(outdir, 'dir')
    mkdir(outdir);
  end
  % Absolute paths, as the toolbox file records them.
  here = pwd;
  back = onCleanup(@() cd(here));
  cd(folder);
  folder = pwd;
  cd(here);
  cd(outdir);
  file = fullfile(pwd, options.file_name);
  cd(here);

  toolbox = matlab.addons.toolbox.ToolboxOptions(folder, options.identifier);
  toolbox.ToolboxName = options.name;
  toolbox.ToolboxVersion = options.version;
  toolbox.Summary = options.summary;
  toolbox.MinimumMatlabRelease = options.minimum_release;
  toolbox.ToolboxMatlabPath = folder;
  for platform = fieldnames(options.platforms)'
    toolbox.SupportedPlatforms.(platform{1}) = options.platforms.(platform{1});
  end
  % Not tried there.
  toolbox.SupportedPlatforms.MatlabOnline = false;
  toolbox.OutputFile = file;
  matlab.addons.toolbox.packageToolbox(toolbox);
  fprintf('packaged %s\n', file);
end
