#!/bin/sh
# check_release.sh SOURCE-DIR RELEASE-DIR NAME VERSION "EXTENSIONS" "SCRIPTS"
# The release as a user downloads it: checksums that sha256sum accepts, the
# MATLAB archive's exact file list and version, its extensions those tested,
# the version the README tells users to install, and the same bytes again
# from a second packaging.
set -u
src=$1 release=$2 name=$3 version=$4 extensions=$5 scripts=$6
zip=$release/$name-$version-matlab.zip
tgz=$release/$name-$version.tar.gz
failures=0
fail() { echo "FAIL: $*"; failures=$((failures + 1)); }
expect() {  # expect WHAT ACTUAL EXPECTED
    [ "$2" = "$3" ] || fail "$1: got [$2], want [$3]"
}
lines() { tr '\n' ' ' | sed 's/ $//'; }

(cd "$release" && sha256sum --quiet -c SHA256SUMS) || fail "sha256sum -c SHA256SUMS"
expect "checksummed files" "$(awk '{print $2}' "$release/SHA256SUMS" | lines)" \
    "$(basename "$zip") $(basename "$tgz")"

want=""
for f in $extensions; do want="$want $f.mexw64 $f.mexa64 $f.m"; done
for f in $scripts; do want="$want $f.m"; done
want=$(for f in $want Contents.m LICENSE NEWS.md README.md docs/reference.md; do echo "$name/$f"; done | sort | lines)
expect "MATLAB archive" "$(unzip -Z1 "$zip" | sort | lines)" "$want"
expect "Contents.m version" "$(unzip -p "$zip" "$name/Contents.m" | sed -n 2p | cut -d ' ' -f 1-3)" \
    "% Version $version"
for f in $extensions $scripts; do  # each with its help file's first comment line
    summary=$(grep -m 1 '^%' "$src/$f/$f.m" | sed "s/^% *$f  *//")
    unzip -p "$zip" "$name/Contents.m" | tr -s ' ' | grep -q -x -F "% $f - $summary" ||
        fail "Contents.m does not list $f as: $summary"
done

top=$name-$version
for f in DESCRIPTION COPYING INDEX NEWS doc/reference.md src/Makefile; do
    tar -tzf "$tgz" "$top/$f" >/dev/null 2>&1 || fail "Octave package lacks $top/$f"
done
expect "DESCRIPTION version" "$(tar -xzOf "$tgz" "$top/DESCRIPTION" | sed -n 's/^Version: //p')" "$version"

# The archive's extensions are those the tests ran, byte for byte.
dist=$(dirname "$release")
for f in $extensions; do
    for platform in linux:mexa64 windows:mexw64; do
        unzip -p "$zip" "$name/$f.${platform#*:}" | cmp -s - "$dist/${platform%:*}/$f.${platform#*:}" ||
            fail "the archive's $f.${platform#*:} differs from dist/${platform%:*}'s"
    done
done

# Each help file a user can get is one file, with its version filled in: the
# archive's (which release_matlab_in_octave runs), the package's, the builds'.
for f in $extensions; do
    archived=$(unzip -p "$zip" "$name/$f.m")
    echo "$archived" | grep -q -F "@TOOLBOX_VERSION@" && fail "$name/$f.m names no version"
    for copy in "$dist/linux/$f.m" "$dist/windows/$f.m" "$dist/octave/$f.m"; do
        [ "$(cat "$copy")" = "$archived" ] || fail "$copy differs from the archive's $f.m"
    done
    [ "$(tar -xzOf "$tgz" "$top/src/$f/$f.m")" = "$archived" ] || fail "the package's $f.m differs from the archive's"
done

# Every release file name the README gives is this version's.
others=$(grep -o "$name-[0-9][0-9.]*[0-9]" "$src/README.md" | grep -v -x "$name-$version" | sort -u | lines)
expect "README versions other than $version" "$others" ""

# Packaging again, from scratch, gives the same bytes.
again=$(mktemp -d)
cmake -DDIST="$(dirname "$release")" -DOUT="$again" -P "$src/release/release.cmake" >/dev/null ||
    fail "second packaging failed"
for f in $(basename "$zip") $(basename "$tgz") SHA256SUMS; do
    cmp -s "$release/$f" "$again/$f" || fail "$f differs between two packagings"
done
rm -rf "$again"

[ $failures -eq 0 ] && echo "release: all checks passed"
exit $((failures != 0))
