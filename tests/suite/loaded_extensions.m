function both = loaded_extensions()
% loaded_extensions  Whether reloj and espera are loaded in this process now,
% as [reloj espera]: in MATLAB as it lists its loaded MEX files, in Octave
% whether the files they resolve to are mapped into the process (Linux only).
% Neither which() nor this function loads them.
  names = {'reloj', 'espera'};
  both = false(1, 2);
  if exist('OCTAVE_VERSION', 'builtin') ~= 0
    maps = fileread('/proc/self/maps');
    for i = 1:2
      both(i) = ~isempty(strfind(maps, canonicalize_file_name(which(names{i}))));
    end
  else
    [~, mex_files] = inmem();
    loaded = regexprep(mex_files, '^.*[\\/]|\.[^.\\/]*$', '');
    for i = 1:2
      both(i) = any(strcmp(loaded, names{i}));
    end
  end
end
