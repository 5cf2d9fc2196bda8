#!/usr/bin/env bash
# Checks the Debian package: lintian finds no error and nothing about the manual pages, the
# exact file list, stripped programs, the command-line programs run from the unpacked tree,
# the manual pages render without a warning, the desktop entry and the picture types it
# offers, the dependencies.
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
timeout 300 lintian --fail-on error "$deb" >"$work/lintian.log" 2>&1 ||
    fail "lintian"$'\n'"$(cat "$work/lintian.log")"
cat "$work/lintian.log"
# The manual pages: one for each program, and none that man or groff complains about.
man_tags='no-manual-page|manpage-[a-z-]+|groff-message'
if grep -E ": ($man_tags)( |$)" "$work/lintian.log"; then
    fail "lintian: the manual pages"
fi
root=$work/root
dpkg -x "$deb" "$root"

programs=(lcdctl lcdpanel lcdsim)
man_pages=("${programs[@]/#/usr/share/man/man1/}")
man_pages=("${man_pages[@]/%/.1.gz}")
expected=$(printf '%s\n' "${programs[@]/#/usr/bin/}" \
    usr/share/applications/lcdpanel.desktop \
    usr/share/doc/lcdpanel/changelog.gz \
    usr/share/doc/lcdpanel/copyright \
    usr/share/icons/hicolor/128x128/apps/lcdpanel.png \
    usr/share/icons/hicolor/scalable/apps/lcdpanel.svg \
    usr/share/lcdpanel/demo480x480-4.jpg \
    "${man_pages[@]}")
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
for page in "${man_pages[@]}"; do
    gzip -t "$root/$page" || fail "$page is no gzip file"
    # As lintian reads them (at 80 columns), and as groff alone sees them: any message is a
    # fault.
    warnings=$(env -i PATH="$PATH" LC_ALL=C.UTF-8 MANROFFSEQ='' MANWIDTH=80 \
        man --warnings -E UTF-8 -l -Tutf8 -Z "$root/$page" 2>&1 >/dev/null) ||
        fail "man could not render $page"$'\n'"$warnings"
    [ -z "$warnings" ] || fail "man warns about $page"$'\n'"$warnings"
    warnings=$(zcat "$root/$page" | groff -man -ww -z 2>&1) || fail "groff failed on $page"
    [ -z "$warnings" ] || fail "groff warns about $page"$'\n'"$warnings"
    grep -q "^\.TH $(basename "$page" .1.gz | tr "[:lower:]" "[:upper:]") 1 " <(zcat "$root/$page") ||
        fail "$page has no .TH line for its program"
done
# Each picture type the desktop entry offers the panel opens: a sample of each, made by
# ImageMagick, read by the packaged lcdctl through the same readers as the panel's.
declare -A sample_format=([image/jpeg]=jpg [image/png]=png [image/bmp]=bmp [image/gif]=gif
    [image/x-portable-bitmap]=pbm [image/x-portable-graymap]=pgm [image/x-portable-pixmap]=ppm)
mime_types=$(sed -n 's/^MimeType=//p' "$root/usr/share/applications/lcdpanel.desktop" | tr ';' ' ')
[ -n "$mime_types" ] || fail "the desktop entry offers no picture types"
convert -size 64x48 gradient:white-black "$work/sample.png" || fail "ImageMagick made no sample"
for type in $mime_types; do
    format=${sample_format[$type]:-}
    [ -n "$format" ] || fail "the desktop entry offers $type, which has no sample here"
    convert "$work/sample.png" "$work/sample.$format" || fail "ImageMagick wrote no $format"
    timeout 10 "$root/usr/bin/lcdctl" --quiet send "$work/sample.$format" --preview "$work/out.png" \
        >/dev/null 2>"$work/read.log" ||
        fail "the desktop entry offers $type, which lcdctl cannot read: $(cat "$work/read.log")"
done
depends=$(dpkg-deb --field "$deb" Depends)
grep -q 'libqt6gui6' <<<"$depends" || fail "Depends has no Qt: $depends"

echo "package check: $(basename "$deb"), $(stat -c %s "$deb") bytes," \
    "$(wc -l <<<"$expected") files, Depends: $depends"
