function left = leave_pkg_prefix(prefix)
% leave_pkg_prefix(PREFIX): what pkg left in PREFIX besides its package lists,
% and the packages still listed; then removes PREFIX. Empty when nothing is left.
  left = dir(prefix);
  left = setdiff({left.name}, {'.', '..', 'local_list', 'global_list'});
  listed = pkg('list');
  left = [left cellfun(@(p) ['listed: ' p.name], listed, 'UniformOutput', false)];
  confirm_recursive_rmdir(false, 'local');
  rmdir(prefix, 's');
end
