function failures = failed_checks(checks, what)
% failed_checks(CHECKS, WHAT): each row of CHECKS names a check, a text, and
% what the text must hold. Prints each that fails and how many of the checks
% of WHAT passed; returns how many failed.
  failures = 0;
  for i = 1:rows(checks)
    if isempty(strfind(checks{i, 2}, checks{i, 3}))
      failures = failures + 1;
      printf('FAILED: %s: no "%s" in\n%s\n', checks{i, 1}, checks{i, 3}, checks{i, 2});
    end
  end
  printf('%d of %d checks of %s passed\n', rows(checks) - failures, rows(checks), what);
end
