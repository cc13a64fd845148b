function failures = check_imports(folder)
% check_imports(FOLDER): check_imports.sh on the Octave extensions in FOLDER
% (exports, host calls, hardening), one for each compiled function of the
% list. Returns 1 if it failed, else 0. The script reads ELF files with
% binutils: elsewhere (macOS's Mach-O files, in the hosted CI's Octave job)
% there is nothing for it to read, and it is not run.
  if ~isunix() || ismac()
    failures = 0;
    return;
  end
  [names, uses] = compiled_functions();
  rows = cellfun(@(name, words) strjoin([{name}, words], ':'), names, uses, 'UniformOutput', false);
  script = fullfile(fileparts(mfilename('fullpath')), 'check_imports.sh');
  failures = system(sprintf('sh "%s" "%s" "%s"', script, folder, strjoin(rows, ' '))) ~= 0;
end
