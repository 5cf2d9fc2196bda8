#!/usr/bin/env bash
# tools/build_windows_freetype.sh DEST: FreeType for the Windows build, a static library
# cross-built with MinGW-w64 from Debian's source package (with Debian's patches, as the
# Linux build links it) into DEST/include/freetype2 and DEST/lib. Gzip through FreeType's
# own copy of zlib, so that .pcf.gz fonts open; no PNG, bzip2, Brotli or HarfBuzz. Does
# nothing when DEST already holds this version. Needs network access to Debian's archive
# once, dpkg-source (dpkg-dev) and MinGW-w64.
set -euo pipefail
# shellcheck source=tools/debian_source.sh
. "$(dirname "$0")/debian_source.sh"

VERSION=2.12.1+dfsg-5+deb12u4 # the Debian version the Linux build links (bookworm's)
DEST=${1:?usage: $0 DEST}
DEST=$(mkdir -p "$DEST" && cd "$DEST" && pwd)
STAMP=$DEST/version

fail() {
    echo "FreeType for Windows: $*" >&2
    exit 1
}

if [ -f "$STAMP" ] && [ "$(cat "$STAMP")" = "$VERSION" ] && [ -f "$DEST/lib/libfreetype.a" ]; then
    exit 0
fi
for tool in apt-get dpkg-source x86_64-w64-mingw32-gcc-posix cmake; do
    command -v "$tool" >/dev/null 2>&1 ||
        fail "$tool is missing (Debian packages: dpkg-dev g++-mingw-w64-x86-64-posix cmake)"
done

WORK=$(mktemp -d "${TMPDIR:-/tmp}/windows_freetype.XXXXXX")
trap 'rm -rf "$WORK"' EXIT

fetch_debian_source "FreeType for Windows" "freetype=$VERSION" "$WORK"
[ -f "$WORK/source/src/gzip/inflate.c" ] || fail "the source package has no zlib of its own"

cat >"$WORK/toolchain.cmake" <<'EOF'
set(CMAKE_SYSTEM_NAME Windows)
set(CMAKE_SYSTEM_PROCESSOR AMD64)
set(CMAKE_C_COMPILER x86_64-w64-mingw32-gcc-posix)
set(CMAKE_RC_COMPILER x86_64-w64-mingw32-windres)
set(CMAKE_FIND_ROOT_PATH /usr/x86_64-w64-mingw32)
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_PACKAGE ONLY)
EOF
# FT_DISABLE_ZLIB leaves out a system zlib (MinGW's would be found), not gzip: the gzip
# module then inflates with the copy in src/gzip.
echo "FreeType for Windows: building $VERSION"
cmake -S "$WORK/source" -B "$WORK/build" -DCMAKE_TOOLCHAIN_FILE="$WORK/toolchain.cmake" \
    -DCMAKE_BUILD_TYPE=Release -DBUILD_SHARED_LIBS=OFF -DFT_DISABLE_ZLIB=TRUE \
    -DFT_DISABLE_BZIP2=TRUE -DFT_DISABLE_PNG=TRUE -DFT_DISABLE_HARFBUZZ=TRUE \
    -DFT_DISABLE_BROTLI=TRUE -DCMAKE_INSTALL_PREFIX="$WORK/install" \
    -DCMAKE_C_FLAGS="-ffile-prefix-map=$WORK=." >"$WORK/configure.log" 2>&1 ||
    { cat "$WORK/configure.log" >&2; fail "configure failed"; }
cmake --build "$WORK/build" -j"$(nproc)" >"$WORK/build.log" 2>&1 ||
    { tail -30 "$WORK/build.log" >&2; fail "build failed"; }
cmake --install "$WORK/build" >"$WORK/install.log" 2>&1 ||
    { cat "$WORK/install.log" >&2; fail "install failed"; }
OPTIONS=$WORK/install/include/freetype2/freetype/config/ftoption.h
grep -q '^#define FT_CONFIG_OPTION_USE_ZLIB' "$OPTIONS" && ! grep -q '^#define FT_CONFIG_OPTION_SYSTEM_ZLIB' "$OPTIONS" ||
    fail "gzip through FreeType's own zlib is not configured"

rm -rf "$DEST/include" "$DEST/lib"
mkdir -p "$DEST/lib"
cp -r "$WORK/install/include" "$DEST/include"
cp "$WORK/install/lib/libfreetype.a" "$DEST/lib/"
cp "$WORK/source/docs/FTL.TXT" "$DEST/FTL.TXT"
echo "$VERSION" >"$STAMP"
echo "FreeType for Windows: $DEST"
