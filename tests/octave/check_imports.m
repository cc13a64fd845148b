function failures = check_imports(folder)
% check_imports(FOLDER): check_imports.sh on the Octave extensions in FOLDER
% (exports, host calls, hardening). Returns 1 if it failed, else 0.
  script = fullfile(fileparts(mfilename('fullpath')), 'check_imports.sh');
  failures = system(sprintf('sh "%s" "%s"', script, folder)) ~= 0;
end
