#!/usr/bin/env bash
# Checks the Debian package: lintian finds no error, the exact file list, stripped programs,
# the command-line programs run from the unpacked tree, the desktop entry, the dependencies.
#   check_package.sh BUILD_DIR   packs that build (its CPackConfig.cmake) first
#   check_package.sh FILE.deb
set -euo pipefail
target=${1:?usage: check_package.sh BUILD_DIR|FILE.deb}
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
fail() {
    echo "package check failed: $*" >&2
    exit 1
}

deb=$target
if [ -d "$target" ]; then
    # cpack brings the build up to date first (its preinstall step), then installs and packs.
    timeout 600 cpack --config "$target/CPackConfig.cmake" -B "$work/cpack" >"$work/cpack.log" 2>&1 ||
        fail "cpack"$'\n'"$(cat "$work/cpack.log"; tail -n 20 "$work"/cpack/_CPack_Packages/*/DEB/*.log)"
    deb=$(echo "$work"/cpack/lcdpanel_*.deb)
fi
[ -f "$deb" ] || fail "no package at $deb"
timeout 300 lintian --fail-on error "$deb" || fail "lintian"
root=$work/root
dpkg -x "$deb" "$root"

programs=(lcdctl lcdpanel lcdsim)
expected=$(printf '%s\n' "${programs[@]/#/usr/bin/}" \
    usr/share/applications/lcdpanel.desktop \
    usr/share/doc/lcdpanel/changelog.gz \
    usr/share/doc/lcdpanel/copyright \
    usr/share/icons/hicolor/128x128/apps/lcdpanel.png \
    usr/share/icons/hicolor/scalable/apps/lcdpanel.svg \
    usr/share/lcdpanel/demo480x480-4.jpg)
actual=$(cd "$root" && find . -type f -printf '%P\n' | LC_ALL=C sort)
[ "$actual" = "$expected" ] ||
    fail "file list"$'\n'"$(diff <(echo "$expected") <(echo "$actual") || true)"

for program in "${programs[@]}"; do
    sections=$(readelf -S "$root/usr/bin/$program") || fail "$program is no ELF program"
    grep -q '\.symtab' <<<"$sections" && fail "$program is not stripped"
done
for program in lcdctl lcdsim; do
    usage=$(timeout 10 "$root/usr/bin/$program" --help) || fail "$program --help exited $?"
    grep -q "^usage: $program" <<<"$usage" || fail "$program --help printed no usage"
done
desktop-file-validate "$root/usr/share/applications/lcdpanel.desktop" || fail "desktop entry"
[ "$(od -An -tu4 --endian=big -j16 -N8 "$root/usr/share/icons/hicolor/128x128/apps/lcdpanel.png" |
    xargs)" = "128 128" ] || fail "the PNG icon is not 128 x 128"
gzip -t "$root/usr/share/doc/lcdpanel/changelog.gz" || fail "changelog.gz"
depends=$(dpkg-deb --field "$deb" Depends)
grep -q 'libqt6gui6' <<<"$depends" || fail "Depends has no Qt: $depends"

echo "package check: $(basename "$deb"), $(stat -c %s "$deb") bytes," \
    "$(wc -l <<<"$expected") files, Depends: $depends"
