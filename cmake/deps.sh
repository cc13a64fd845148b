#!/bin/sh
# Installs the Debian packages the build, the tests and the benchmarks need,
# only those missing. Runs apt-get as root, or through sudo. Octave draws no
# text, so no figure, without its recommended font (fonts-freefont-otf).
# python3-yaml reads the CI workflows for their check.
set -eu
packages="cmake ninja-build g++ clang libclang-rt-14-dev libgtest-dev libbenchmark-dev valgrind
  g++-mingw-w64-x86-64-posix binutils-mingw-w64-x86-64 wine64
  octave octave-dev gnuplot-nox fonts-freefont-otf zip unzip python3-yaml"
missing=""
for p in $packages; do
    dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "ok installed" || missing="$missing $p"
done
[ -z "$missing" ] && exit 0
echo "Installing:$missing"
sudo=""
[ "$(id -u)" -eq 0 ] || sudo="sudo"
export DEBIAN_FRONTEND=noninteractive
$sudo apt-get update -q
# shellcheck disable=SC2086
$sudo apt-get install -y -q --no-install-recommends $missing
