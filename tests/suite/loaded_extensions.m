function loaded = loaded_extensions()
% loaded_extensions  Whether reloj, espera and hasta are loaded in this
% process now, as [reloj espera hasta]: in MATLAB as it lists its loaded MEX
% files, in Octave whether the files they resolve to are mapped into the
% process (Linux only).
% Neither which() nor this function loads them.
  names = {'reloj', 'espera', 'hasta'};
  loaded = false(1, 3);
  if exist('OCTAVE_VERSION', 'builtin') ~= 0
    maps = fileread('/proc/self/maps');
    for i = 1:3
      loaded(i) = ~isempty(strfind(maps, canonicalize_file_name(which(names{i}))));
    end
  else
    [~, mex_files] = inmem();
    in_memory = regexprep(mex_files, '^.*[\\/]|\.[^.\\/]*$', '');
    for i = 1:3
      loaded(i) = any(strcmp(in_memory, names{i}));
    end
  end
end
