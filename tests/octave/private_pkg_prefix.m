function prefix = private_pkg_prefix(name)
% private_pkg_prefix(NAME): a fresh temporary folder, its name ending in NAME,
% made pkg's prefix with package lists of its own, so that a test never
% touches the user's or the system's packages.
  prefix = [tempname() ' ' name];
  mkdir(prefix);
  pkg('prefix', prefix, prefix);
  pkg('local_list', fullfile(prefix, 'local_list'));
  pkg('global_list', fullfile(prefix, 'global_list'));
end
