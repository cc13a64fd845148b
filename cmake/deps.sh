#!/bin/sh
# Installs the Debian packages the build, the tests and the benchmarks need,
# only those missing. Runs apt-get as root, or through sudo. Octave draws no
# text, so no figure, without its recommended font (fonts-freefont-otf).
# Node.js and npm run the check of the CI workflows (its linter comes from
# npm's registry); any node on the PATH will do. debootstrap makes the root
# file systems of other Debian releases' Octave (unshare and flock, used with
# it, are in util-linux). lld-14 has the Mach-O linker of the macOS builds
# (cmake/macos.cmake), whose Mac headers come from npm's registry.
set -eu
packages="cmake ninja-build g++ clang libclang-rt-14-dev lld-14 libgtest-dev libbenchmark-dev valgrind
  g++-mingw-w64-x86-64-posix binutils-mingw-w64-x86-64 wine64
  octave octave-dev gnuplot-nox fonts-freefont-otf zip unzip
  debootstrap util-linux"
missing=""
for p in $packages; do
    dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "ok installed" || missing="$missing $p"
done
command -v npm >/dev/null || missing="$missing nodejs npm"
[ -z "$missing" ] && exit 0
echo "Installing:$missing"
sudo=""
[ "$(id -u)" -eq 0 ] || sudo="sudo"
export DEBIAN_FRONTEND=noninteractive
$sudo apt-get update -q
# shellcheck disable=SC2086
$sudo apt-get install -y -q --no-install-recommends $missing
