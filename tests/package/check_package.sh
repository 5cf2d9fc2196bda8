#!/usr/bin/env bash
# Checks the Debian package: lintian finds no error and nothing about the manual pages, the
# exact file list, stripped programs, the command-line programs run from the unpacked tree,
# the manual pages render without a warning, lcdhub's systemd units, the desktop entry and
# the picture types it offers, the dependencies.
#   check_package.sh BUILD_DIR   packs that build (its CPackConfig.cmake) twice first, and
#                                fails unless both packages are the same to the byte
#   check_package.sh FILE.deb
set -euo pipefail
target=${1:?usage: check_package.sh BUILD_DIR|FILE.deb}
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
fail() {
    echo "package check failed: $*" >&2
    exit 1
}

# pack DIR: the build packed into DIR; cpack brings the build up to date first (its
# preinstall step), then installs and packs.
pack() {
    timeout 600 cpack --config "$target/CPackConfig.cmake" -B "$1" >"$1.log" 2>&1 ||
        fail "cpack"$'\n'"$(cat "$1.log"; tail -n 20 "$1"/_CPack_Packages/*/DEB/*.log)"
}

deb=$target
if [ -d "$target" ]; then
    pack "$work/cpack"
    deb=$(echo "$work"/cpack/lcdpanel_*.deb)
    [ -f "$deb" ] || fail "no package at $deb"
    # Packed again in a later second, the package must not change: its times come from the
    # sources, not the clock.
    sleep 1
    pack "$work/cpack2"
    cmp "$deb" "$work"/cpack2/lcdpanel_*.deb >"$work/cmp.log" 2>&1 ||
        fail "packing the same build twice gave two different packages: $(cat "$work/cmp.log")"$'\n'"$(
            for again in "$deb" "$work"/cpack2/lcdpanel_*.deb; do
                dpkg-deb --fsys-tarfile "$again" | tar -tv --full-time | sed -n '1,3p'
            done)"
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

# lcdhub is in the package when the build installs it (a build without Asio does not: its
# install script, written anew by each configure, has no rule for it); a package given alone
# is taken at its word.
if [ -d "$target" ]; then
    has_hub=$(grep -qs '/lcdhub"' "$target/hub/cmake_install.cmake" && echo yes || echo no)
else
    has_hub=$([ -f "$root/usr/bin/lcdhub" ] && echo yes || echo no)
fi
programs=(lcdctl lcdpanel lcdsim)
units=()
if [ "$has_hub" = yes ]; then
    programs+=(lcdhub)
    units=(usr/lib/systemd/system/lcdhub@.service usr/lib/systemd/user/lcdhub.service)
fi
man_pages=("${programs[@]/#/usr/share/man/man1/}")
man_pages=("${man_pages[@]/%/.1.gz}")
expected=$(printf '%s\n' "${programs[@]/#/usr/bin/}" \
    usr/share/applications/lcdpanel.desktop \
    usr/share/doc/lcdpanel/changelog.gz \
    usr/share/doc/lcdpanel/copyright \
    usr/share/doc/lcdpanel/pages.md \
    usr/share/icons/hicolor/128x128/apps/lcdpanel.png \
    usr/share/icons/hicolor/scalable/apps/lcdpanel.svg \
    usr/share/lcdpanel/demo480x480-4.jpg \
    usr/share/lcdpanel/pages/{build_status,chinese,clock,system}.toml \
    "${man_pages[@]}" "${units[@]}" | LC_ALL=C sort)
actual=$(cd "$root" && find . -type f -printf '%P\n' | LC_ALL=C sort)
[ "$actual" = "$expected" ] ||
    fail "file list"$'\n'"$(diff <(echo "$expected") <(echo "$actual") || true)"

for program in "${programs[@]}"; do
    sections=$(readelf -S "$root/usr/bin/$program") || fail "$program is no ELF program"
    grep -q '\.symtab' <<<"$sections" && fail "$program is not stripped"
done
command_line=(lcdctl lcdsim)
if [ "$has_hub" = yes ]; then
    command_line+=(lcdhub)
fi
for program in "${command_line[@]}"; do
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
# lcdhub's units as systemd reads them, each message a fault; the unpacked lcdhub stands in
# for the installed one, and Documentation= must name a page the package has.
# verify_unit UNIT [--user]
verify_unit() {
    local warnings
    warnings=$(cd "$work/units" && env XDG_RUNTIME_DIR="$work/runtime" \
        MANPATH="$root/usr/share/man" timeout 60 systemd-analyze verify "${@:2}" "./$1" 2>&1) ||
        fail "systemd-analyze verify $1"$'\n'"$warnings"
    [ -z "$warnings" ] || fail "systemd warns about $1"$'\n'"$warnings"
}
if [ "$has_hub" = yes ]; then
    if command -v systemd-analyze >/dev/null; then
        mkdir "$work/units" "$work/runtime"
        for unit in "${units[@]}"; do
            sed "s#/usr/bin/lcdhub#$root/usr/bin/lcdhub#" "$root/$unit" >"$work/units/${unit##*/}"
        done
        ln -s lcdhub@.service "$work/units/lcdhub@ttyUSB0.service"
        verify_unit lcdhub@ttyUSB0.service
        verify_unit lcdhub.service --user
    else
        echo "package check: no systemd-analyze here, lcdhub's units were not verified" >&2
    fi
fi
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
grep -q 'fonts-unifont' <<<"$depends" || fail "Depends has not the pages' font: $depends"
grep -q 'xfonts-wqy' <<<"$(dpkg-deb --field "$deb" Recommends)" || fail "Recommends has not the bitmap fonts"
timeout 10 "$root/usr/bin/lcdctl" --quiet page "$root/usr/share/lcdpanel/pages/clock.toml" \
    --preview "$work/clock.png" || fail "the installed clock page cannot be drawn"

echo "package check: $(basename "$deb"), $(stat -c %s "$deb") bytes," \
    "$(wc -l <<<"$expected") files, Depends: $depends"
