#!/bin/sh
# check_hardened.sh FILE...: each ELF shared object is linked hardened: full
# RELRO (every symbol bound at load, then the relocated data made read-only)
# and a stack that is not executable.
set -u
failures=0
fail() { echo "FAIL: $*"; failures=$((failures + 1)); }
for file in "$@"; do
    segments=$(readelf -lW "$file")
    echo "$segments" | grep -q '^ *GNU_RELRO ' || fail "$file: no GNU_RELRO segment (-z relro)"
    readelf -dW "$file" | grep -q -E '\(FLAGS\).*BIND_NOW|\(FLAGS_1\).*NOW' || fail "$file: not bound at load (-z now)"
    stack=$(echo "$segments" | awk '$1 == "GNU_STACK" {print $(NF - 1)}')
    [ "$stack" = RW ] || fail "$file: stack segment [$stack], want RW (-z noexecstack)"
done
exit $((failures != 0))
