#!/usr/bin/env bash
# tools/build_windows_jpeg.sh DEST: libjpeg-turbo for the Windows build, a static library
# with its SIMD code, cross-built with MinGW-w64 from Debian's source package into
# DEST/include and DEST/lib. Does nothing when DEST already holds this version. Needs
# network access to Debian's archive once, dpkg-source (dpkg-dev), nasm and MinGW-w64.
set -euo pipefail
# shellcheck source=tools/debian_source.sh
. "$(dirname "$0")/debian_source.sh"

VERSION=2.1.5 # the version the Linux build links (bookworm's libjpeg62-turbo)
DEST=${1:?usage: $0 DEST}
DEST=$(mkdir -p "$DEST" && cd "$DEST" && pwd)
STAMP=$DEST/version

fail() {
    echo "libjpeg-turbo for Windows: $*" >&2
    exit 1
}

if [ -f "$STAMP" ] && [ "$(cat "$STAMP")" = "$VERSION" ] && [ -f "$DEST/lib/libjpeg.a" ]; then
    exit 0
fi
for tool in apt-get dpkg-source nasm x86_64-w64-mingw32-gcc-posix cmake; do
    command -v "$tool" >/dev/null 2>&1 ||
        fail "$tool is missing (Debian packages: dpkg-dev nasm g++-mingw-w64-x86-64-posix cmake)"
done

WORK=$(mktemp -d "${TMPDIR:-/tmp}/windows_jpeg.XXXXXX")
trap 'rm -rf "$WORK"' EXIT

fetch_debian_source "libjpeg-turbo for Windows" "libjpeg-turbo=1:$VERSION-2" "$WORK"
grep -q "VERSION $VERSION" "$WORK/source/CMakeLists.txt" ||
    fail "the source package is not version $VERSION"

cat >"$WORK/toolchain.cmake" <<'EOF'
set(CMAKE_SYSTEM_NAME Windows)
set(CMAKE_SYSTEM_PROCESSOR AMD64)
set(CMAKE_C_COMPILER x86_64-w64-mingw32-gcc-posix)
set(CMAKE_RC_COMPILER x86_64-w64-mingw32-windres)
EOF
echo "libjpeg-turbo for Windows: building $VERSION"
cmake -S "$WORK/source" -B "$WORK/build" -DCMAKE_TOOLCHAIN_FILE="$WORK/toolchain.cmake" \
    -DCMAKE_BUILD_TYPE=Release -DENABLE_SHARED=OFF -DWITH_TURBOJPEG=OFF -DWITH_SIMD=ON \
    -DREQUIRE_SIMD=ON -DCMAKE_INSTALL_PREFIX="$WORK/install" -DBUILD=debian \
    >"$WORK/configure.log" 2>&1 ||
    { cat "$WORK/configure.log" >&2; fail "configure failed"; }
cmake --build "$WORK/build" --target jpeg-static -j"$(nproc)" >"$WORK/build.log" 2>&1 ||
    { tail -30 "$WORK/build.log" >&2; fail "build failed"; }

rm -rf "$DEST/include" "$DEST/lib"
mkdir -p "$DEST/include" "$DEST/lib"
cp "$WORK/source"/{jpeglib.h,jmorecfg.h,jerror.h} "$WORK/build/jconfig.h" "$DEST/include/"
cp "$WORK/build/libjpeg.a" "$DEST/lib/"
cp "$WORK/source/LICENSE.md" "$DEST/LICENSE.md"
echo "$VERSION" >"$STAMP"
echo "libjpeg-turbo for Windows: $DEST"
