#!/usr/bin/env bash
# tools/make_windows_zip.sh OUT.zip: the portable Windows folder, lcdpanel-windows-x64.zip:
# lcdpanel.exe, lcdctl.exe and lcdhub.exe (static, stripped), the demo picture, a short README,
# the fonts the pages name (fonts\, from Debian's fonts-unifont, xfonts-unifont and xfonts-wqy),
# the example pages (pages\) and the licences of what is built in or shipped. A Release
# cross-build in build-windows/, without tests. The same sources give the same bytes: no link
# time in the executables, no build paths, every file dated by the last commit, in a fixed
# order.
set -euo pipefail
ROOT=$(cd "$(dirname "$0")/.." && pwd)
OUT=${1:?usage: $0 OUT.zip}
case $OUT in /*) ;; *) OUT=$PWD/$OUT ;; esac
BUILD=$ROOT/build-windows
JPEG=$ROOT/build-deps/libjpeg-turbo-mingw
FREETYPE=$ROOT/build-deps/freetype-mingw

"$ROOT/tools/build_windows_jpeg.sh" "$JPEG"
"$ROOT/tools/build_windows_freetype.sh" "$FREETYPE"
cmake -S "$ROOT" -B "$BUILD" -DCMAKE_TOOLCHAIN_FILE="$ROOT/cmake/mingw-w64-x86_64.cmake" \
    -DCMAKE_BUILD_TYPE=Release -DPANEL_BUILD_TESTS=OFF -DPANEL_BUILD_BENCH=OFF \
    -DPANEL_WINDOWS_JPEG_DIR="$JPEG" -DPANEL_WINDOWS_FREETYPE_DIR="$FREETYPE" \
    -DCMAKE_CXX_FLAGS="-ffile-prefix-map=$ROOT=." -DCMAKE_C_FLAGS="-ffile-prefix-map=$ROOT=." \
    >/dev/null
cmake --build "$BUILD" -j"$(nproc)" --target lcdpanel lcdctl lcdhub page_fonts >/dev/null

STAGE=$(mktemp -d "${TMPDIR:-/tmp}/windows_zip.XXXXXX")
trap 'rm -rf "$STAGE"' EXIT
FOLDER=$STAGE/lcdpanel
mkdir -p "$FOLDER"
cp "$BUILD/app/win32/lcdpanel.exe" "$BUILD/cli/lcdctl.exe" "$BUILD/hub/lcdhub.exe" \
    "$ROOT/demo/demo480x480-4.jpg" "$FOLDER/"
# Windows' Notepad of old wants CR LF.
text() { sed 's/$/\r/' "$1" >"$2"; }
text "$ROOT/packaging/windows/README.txt" "$FOLDER/README.txt"
cp "$JPEG/LICENSE.md" "$FOLDER/libjpeg-turbo-LICENSE.md"
text "$FREETYPE/FTL.TXT" "$FOLDER/freetype-FTL.txt"
text /usr/share/doc/libtomlplusplus-dev/copyright "$FOLDER/tomlplusplus-copyright.txt"
mkdir -p "$FOLDER/fonts" "$FOLDER/pages"
cp "$BUILD"/pages/fonts/* "$FOLDER/fonts/"
# Unifont's and WenQuanYi's terms: Debian's record of them, Unifont's own statement of its
# font embedding exception, and the GPL they refer to.
text /usr/share/doc/xfonts-unifont/copyright "$FOLDER/fonts/unifont-copyright.txt"
zcat /usr/share/doc/xfonts-unifont/README.gz | sed 's/$/\r/' >"$FOLDER/fonts/unifont-README.txt"
text /usr/share/doc/xfonts-wqy/copyright "$FOLDER/fonts/wenquanyi-copyright.txt"
text /usr/share/common-licenses/GPL-2 "$FOLDER/fonts/GPL-2.txt"
cp "$ROOT"/pages/examples/*.toml "$FOLDER/pages/"
EPOCH=$(git -C "$ROOT" log -1 --format=%ct 2>/dev/null || echo 1700000000)
find "$FOLDER" -exec touch -h -d "@$EPOCH" {} +
rm -f "$OUT"
(cd "$STAGE" && find lcdpanel | LC_ALL=C sort | TZ=UTC zip -X -q -@ "$OUT")
echo "$OUT"
