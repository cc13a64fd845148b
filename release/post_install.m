function post_install(desc)
% Octave reads a compiled function's help from the .m file beside it, but pkg
% puts .m files and compiled ones in different folders: copy the help files,
% which build_mex left in src, into the folder of the extensions.
  arch = [__octave_config_info__('canonical_host_type') '-' ...
          __octave_config_info__('api_version')];
  archdir = fullfile(desc.archprefix, arch);
  for name = strsplit('@extensions@', ' ')
    if ~exist(fullfile(archdir, [name{1} '.mex']), 'file')
      error('post_install: %s.mex is not in %s', name{1}, archdir);
    end
    copyfile(fullfile('src', [name{1} '.m']), archdir);
  end
end
