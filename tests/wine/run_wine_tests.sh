#!/usr/bin/env bash
# tests/wine/run_wine_tests.sh LINUX_BUILD_DIR: cross-builds the Windows programs with
# MinGW-w64 into build-mingw/ (libjpeg-turbo and FreeType from Debian's source packages into
# build-deps/, once) and runs them under Wine on a private Xvfb display against the
# simulated module (lcdsim from LINUX_BUILD_DIR, built there if missing) on a
# pseudo-terminal mapped to a COM port: the tests of the code that differs on Windows,
# lcdctl.exe, and the Win32 panel driven with xdotool, its frames compared with the Linux
# panel's. Shared code that Linux ctest covers is checked here only through those programs.
# Installs nothing: without MinGW-w64, Wine or the GoogleTest sources it says so, exits 0.
# The plumbing (the build, the display, the prefix, the ports, the verdicts) is wine_lib.sh;
# what follows is the list of checks.
set -euo pipefail

ROOT=$(cd "$(dirname "$0")/../.." && pwd)
LINUX_BUILD=$([ $# -eq 1 ] && cd "$1" && pwd) || { echo "usage: $0 LINUX_BUILD_DIR" >&2; exit 2; }
# A display of our own for the whole run: the panel's window needs one, and Wine's COM
# start-up waits for a service that only starts with one.
if [ -z "${WINE_TESTS_ON_XVFB:-}" ]; then
    command -v xvfb-run >/dev/null || { echo "wine: xvfb-run is missing"; exit 1; }
    exec env WINE_TESTS_ON_XVFB=1 xvfb-run -a -s "-screen 0 1280x1024x24 -nolisten tcp -noreset" \
        "$0" "$@"
fi
# shellcheck source=tests/wine/wine_lib.sh
. "$ROOT/tests/wine/wine_lib.sh"

phase "libjpeg-turbo and FreeType for Windows"
"$ROOT/tools/build_windows_jpeg.sh" "$ROOT/build-deps/libjpeg-turbo-mingw"
"$ROOT/tools/build_windows_freetype.sh" "$ROOT/build-deps/freetype-mingw"

phase "MinGW-w64 build into $MINGW_BUILD"
build_windows lcdctl lcdhub lcdpanel window_probe line_settings_win32_test module_text_test \
    picture_files_test jpeg_image_test serial_link_test str_to_int_test \
    saved_file_test text_test page_test values_win32_test \
    win32_window_test
find_linux_tools sim/lcdsim cli/lcdctl tests/wine/reference_screens tests/wine/xdnd_drop

phase "Wine prefix"
make_wine_prefix

MARK="yes, current baudrate is: "
OK_921600="初始化成功，双方的当前波特率：921600"
NEGOTIATED=("baudrate 921600..." "baudrate 2400..." "${MARK}2400" "baudrate 2400..." "${MARK}2400"
    "baudrate 921600..." "${MARK}921600" "$OK_921600") # the first hello finds nobody at 921600
AT_SPEED=("baudrate 921600..." "${MARK}921600" "$OK_921600")

phase "no port at all"
unmap_ports
check_ports
# The code page, WIC, the DCB, libjpeg-turbo built for Windows with its file reading,
# ReplaceFileW, and the number parser where a long has 32 bits.
for program in serial/line_settings_win32_test pictures/module_text_test \
    pictures/picture_files_test imaging/jpeg_image_test serial/serial_link_test \
    protocol/str_to_int_test files/saved_file_test; do
    gtest "${program#*/}" "$(exe "tests/$program.exe")"
done
# The pages: FreeType built for Windows with its gzip, the fonts beside the program, the
# frames Linux draws (its goldens, read through Z:), and the system's values and commands as
# Windows gives them.
for program in text_test page_test values_win32_test; do
    gtest "$program" "$(exe "tests/pages/$program.exe")"
done
# The Win32 window in-process, on a platform that lists no port: each declared event
# reaches the panel once, with its handler.
gtest win32_window_test "$(exe tests/app/win32_window_test.exe)"
# A port that cannot open stops at the first probe and says why, in Wine's words.
expect_lcdctl missing_port 1 "$(expected "baudrate 921600..." \
    'lcdctl: no link to the module on COM77: cannot open \\.\COM77: File not found')" -p COM77 connect
expect_lcdctl scan_nothing 1 "$(expected)" ports
# A file named as the port is no serial port: refused at the first probe, no hello lands in it.
sum_before=$(md5sum <"$WINEPREFIX/drive_c/windows/win.ini")
win_ini='C:\windows\win.ini'
expect_lcdctl file_as_port 1 "$(expected "baudrate 921600..." \
    "lcdctl: no link to the module on $win_ini: cannot open \\\\.\\$win_ini: not a serial port")" \
    -p "$win_ini" connect
result=FAIL && [ "$(md5sum <"$WINEPREFIX/drive_c/windows/win.ini")" = "$sum_before" ] && result=ok
verdict "$result" "the file named as the port is untouched"

# The replies show each speed taking hold on the port: none at 921600 first, where the module
# is not; a frame's 28800 bytes through WriteFile.
phase "a module at 2400, negotiated up to 921600, then found already at speed"
start_module module "COM0 COM3 COM5 COM12 COM99 COM100" --baud 2400
expect_lcdctl scan 0 "$(expected COM0 COM3 COM5 COM12 COM99)" ports
expect_lcdctl negotiate_2400 0 "$(expected "${NEGOTIATED[@]}" "ok, color 7")" -p COM5 color 7
expect_lcdctl pattern 0 "$(expected "${AT_SPEED[@]}" "ok, send 28800 bytes" \
    "ok, frame 28800 bytes")" -p COM5 pattern stripes
stop_module

phase "replies in chunks, each read whole"
start_module split COM5 --baud 9600 --split-chunks 3 --split-gap-ms 5
expect_lcdctl split 0 "$(expected "baudrate 9600..." "${MARK}9600" \
    "初始化成功，双方的当前波特率：9600" "ok, color 2")" -p COM5 -b 9600 color 2
stop_module

phase "pictures through lcdctl.exe: the same frames as lcdctl on Linux"
convert "$ROOT/tests/imaging/jpeg_data/color_480.jpg" -resize '640x360!' "$WORK/picture.png"
# Raw gray bytes, led by the three that a text-mode standard input would change.
convert "$WORK/picture.png" -resize '480x480!' -depth 8 "gray:$WORK/gray.raw"
{ printf '\r\n\032'; head -c $((480 * 480 - 3)) "$WORK/gray.raw"; } >"$WORK/stream.raw"
# same_screen NAME LINUX_ARGS -- WINDOWS_ARGS: the module's screen after each lcdctl.
same_screen() {
    local name=$1 linux=() result=FAIL
    shift
    while [ "$1" != "--" ]; do linux+=("$1"); shift; done
    shift
    start_module "$name.linux" COM5 --baud 921600 --screen "$WORK/$name.linux.png"
    "$LINUX_BUILD/cli/lcdctl" -q -p "$MODULE_PTY" "${linux[@]}" <"$WORK/stream.raw" >/dev/null 2>&1 || true
    stop_module
    start_module "$name" COM5 --baud 921600 --screen "$WORK/$name.png"
    run_wine "$name" "$(exe cli/lcdctl.exe)" -q -p COM5 "$@" <"$WORK/stream.raw"
    stop_module
    [ "$STATUS" -eq 0 ] && [ -s "$WORK/$name.linux.png" ] && cmp -s "$WORK/$name.png" "$WORK/$name.linux.png" &&
        result=ok
    verdict "$result" "$name: lcdctl.exe $* (status $STATUS)" "$WORK/$name.out"
}
same_screen send_png send "$WORK/picture.png" -- send 'Z:'"${WORK//\//\\}"'\picture.png'
same_screen send_jpeg_padded send "$ROOT/demo/demo480x480-4.jpg" --fit pad --dither atkinson -- \
    send 'Z:'"${ROOT//\//\\}"'\demo\demo480x480-4.jpg' --fit pad --dither atkinson
same_screen stream_stdin stream --count 1 -- stream --count 1

# The service on its pipe: it waits for a port that is not there yet, takes lcdctl.exe's
# picture through the pipe to the screen lcdctl draws on Linux, hears a port pulled out
# while idle and sends the picture again when it is back, refuses a second hub, and stops
# for taskkill (a close message, as at log-off) with the screen cleared, and for Ctrl-C.
phase "lcdhub.exe: lcdctl.exe draws through the named pipe"
hub_log_has() { tr -d '\r' <"$WORK/hub.raw" >"$WORK/hub.out" && grep -qxF -- "$1" "$WORK/hub.out"; }
hub_expect() { # hub_expect NAME COMMAND...: one verdict, the hub's log shown on a failure
    local name=$1 result=FAIL
    shift
    if "$@"; then result=ok; fi
    verdict "$result" "$name" "$WORK/hub.out" "$WORK/hub_client.out"
}
: >"$WORK/hub.raw"
unmap_ports
check_ports
run_wine hub_client "$(exe hub/lcdhub.exe)"
hub_expect "no port named: refused, since COM names do not tell a USB adapter" \
    eval '[ "$STATUS" -eq 1 ] && grep -qxF "lcdhub: name the port with --port: COM names do not tell a USB adapter from a built-in port" "$WORK/hub_client.out"'
(cd "$WORK" && exec timeout 120 "$WINE" "$(exe hub/lcdhub.exe)" -p COM5 --on-exit clear) \
    >"$WORK/hub.raw" 2>&1 &
HUB_PID=$!
hub_expect "a missing port is waited for" wait_until 30 hub_log_has \
    'lcdhub: waiting for the port: cannot open COM5: File not found'
start_module hub COM5 --baud 2400 --screen "$WORK/hub.png"
hub_expect "the port that comes is negotiated up" wait_until 30 hub_log_has \
    'lcdhub: link up at 921600 on COM5'
run_wine hub_client "$(exe cli/lcdctl.exe)" -q send 'Z:'"${WORK//\//\\}"'\picture.png' --wait
hub_expect "lcdctl.exe's picture through the hub is lcdctl's on Linux" \
    eval '[ "$STATUS" -eq 0 ] && cmp -s "$WORK/hub.png" "$WORK/send_png.linux.png"'
run_wine hub_client "$(exe cli/lcdctl.exe)" status
hub_expect "lcdctl.exe status reads the hub's state" \
    grep -q '^link=up port=COM5 speed=921600 shown=lcdctl sent=1 ' "$WORK/hub_client.out"
stop_module # the adapter pulled out while the screen is idle; Windows tells every window
rm -f "$WORK/hub.png"
run_wine hub_client "$(exe tests/wine/window_probe.exe)" port-gone COM5
hub_expect "a port pulled out while idle is lost when Windows tells" wait_until 10 hub_log_has \
    'lcdhub: link lost: the port hung up'
start_module hub_again COM5 --baud 2400 --screen "$WORK/hub.png"
hub_expect "the port back, the shown picture is sent again" wait_until 30 \
    cmp -s "$WORK/hub.png" "$WORK/send_png.linux.png"
run_wine hub_client "$(exe hub/lcdhub.exe)" -p COM5
refusal='lcdhub: cannot listen at \\.\pipe\lcdhub: another lcdhub answers there'
hub_expect "a second hub is refused and says why" \
    eval '[ "$STATUS" -eq 1 ] && grep -qxF -- "$refusal" "$WORK/hub_client.out"'
run_wine hub_client taskkill.exe /im lcdhub.exe
hub_status=0
wait "$HUB_PID" || hub_status=$?
HUB_PID=
hub_expect "taskkill stops the hub with status 0; clients that left are no faults" \
    eval '[ "$hub_status" -eq 0 ] && hub_log_has "lcdhub: stopped" && ! grep -q dropped "$WORK/hub.out"'
hub_expect "--on-exit clear leaves a cleared screen" \
    eval '[ "$(convert "$WORK/hub.png" -format "%[fx:standard_deviation]" info:)" = 0 ]'
# Pages: the hub's own page is drawn as Linux draws it, and drawn again when its file
# changes (the folder's change notices); lcdctl.exe carries a page's picture to the hub.
same_pixels() { [ "$(compare -metric AE "$1" "$2" null: 2>&1)" = 0 ]; }
write_page() { # write_page FILE TEXT: a page of a frame and a line of text
    printf '[[page]]\nname = "own"\n[[page.element]]\ntype = "rect"\nx = 20\ny = 20\nwidth = 440\nheight = 100\n[[page.element]]\ntype = "text"\nx = 30\ny = 50\ntext = "%s"\nsize = 32\n' "$2" >"$1.new"
    mv "$1.new" "$1"
}
write_page "$WORK/own.toml" "Windows 中文 ☃"
"$LINUX_BUILD/cli/lcdctl" -q page "$WORK/own.toml" --preview "$WORK/own.linux.png"
write_page "$WORK/own2.toml" "reloaded"
"$LINUX_BUILD/cli/lcdctl" -q page "$WORK/own2.toml" --preview "$WORK/own2.linux.png"
printf '[[page]]\nname = "pic"\npriority = "alert"\n[[page.element]]\ntype = "picture"\npath = "picture.png"\n' >"$WORK/pic.toml"
"$LINUX_BUILD/cli/lcdctl" -q page "$WORK/pic.toml" --preview "$WORK/pic.linux.png"
: >"$WORK/hub.raw"
(cd "$WORK" && exec timeout 120 "$WINE" "$(exe hub/lcdhub.exe)" -p COM5 --pages own.toml) >"$WORK/hub.raw" 2>&1 &
HUB_PID=$!
wait_until 30 hub_log_has 'lcdhub: link up at 921600 on COM5' || true
hub_expect "lcdhub.exe --pages draws the page as Linux does" wait_until 30 \
    same_pixels "$WORK/hub.png" "$WORK/own.linux.png"
write_page "$WORK/own.toml" "reloaded"
hub_expect "a page file changed is drawn again" wait_until 30 \
    same_pixels "$WORK/hub.png" "$WORK/own2.linux.png"
run_wine hub_client "$(exe cli/lcdctl.exe)" -q page 'Z:'"${WORK//\//\\}"'\pic.toml'
hub_expect "lcdctl.exe page carries its picture to the hub" \
    eval '[ "$STATUS" -eq 0 ] && wait_until 30 same_pixels "$WORK/hub.png" "$WORK/pic.linux.png"'
kill -INT "$HUB_PID" # timeout hands it on; Wine makes it the console's Ctrl-C
hub_status=0
wait "$HUB_PID" || hub_status=$?
HUB_PID=
hub_expect "Ctrl-C stops the hub with status 0" \
    eval '[ "$hub_status" -eq 0 ] && hub_log_has "lcdhub: stopped"'
stop_module

phase "the Win32 panel, driven as an operator would"
PROBE=$(exe tests/wine/window_probe.exe)
probe() { (cd "$WORK" && exec timeout 20 "$WINE" "$PROBE" "$@") 2>/dev/null | tr -d '\r'; }
click() { # click NAME [BUTTON]
    local x y
    read -r x y < <(probe center "$1") && xdotool mousemove "$x" "$y" click "${2:-1}"
}
panel_up() { [ -n "$(probe center Button2)" ]; }
log_has() { probe log | grep -qxF -- "$1"; }
screen_is() { cmp -s "$WORK/panel_screen.png" "$WORK/reference/$1"; }
shot() { # shot NAME SIDE FILE: the square control as the screen shows it
    local x y
    read -r x y < <(probe center "$1")
    import -window root -crop "$2x$2+$((x - $2 / 2))+$((y - $2 / 2))" "$3"
}
image1_is() { shot Image1 480 "$WORK/image1_now.png" && compare -metric AE "$1" "$WORK/image1_now.png" null: 2>/dev/null; }
preview_is() { shot Image2 240 "$WORK/image2_now.png" && compare -metric AE "$WORK/reference/$1" "$WORK/image2_now.png" null: 2>/dev/null; }
expect_that() { # expect_that NAME COMMAND...: one verdict for one condition.
    local name=$1 result=FAIL
    shift
    if "$@"; then result=ok; fi
    verdict "$result" "$name" "$WORK/panel.log"
}

mkdir -p "$WORK/reference"
(cd "$ROOT/demo" && "$LINUX_BUILD/tests/wine/reference_screens" "$WORK/reference" "$WORK/picture.png") ||
    { echo "wine: no reference frames"; exit 1; }
# The thin lines' preview: every fourth column gray, for its blocks of two light and two dark.
printf '\377\377\377\200%.0s' $(seq 14400) | convert -size 240x240 -depth 8 gray:- "$WORK/reference/lines.png"
# The window as declared first, with no port to list: a port would change what it shows.
unmap_ports
check_ports
(cd "$ROOT/demo" && exec "$WINE" "$(exe app/win32/lcdpanel.exe)") >"$WORK/panel.log" 2>&1 &
PANEL_PID=$!
expect_that "the window comes up" wait_until 30 panel_up
WINDOW=$(timeout 10 xdotool search --sync --name "Velnor" | head -n 1)
result=FAIL && probe check-window >"$WORK/check_window.out" && result=ok
verdict "$result" "every control as declared: place, caption, items, state, tab order" \
    "$WORK/check_window.out"

start_module panel COM5 --baud 2400 --screen "$WORK/panel_screen.png"
click ComboBox2
click ComboBox1 # entering 端口 lists the port that came since
expect_that "entering 端口 lists the new port and enables 打开, its next tab stop" \
    wait_until 10 eval '[ "$(probe next-tab ComboBox1)" = Button2 ]'
click Button2 # 打开
wait_until 30 log_has "$OK_921600" || true
{ probe log; echo; } >"$WORK/panel_negotiation.out"
result=FAIL
diff -u "$(expected "baudrate 2400..." "${MARK}2400" "baudrate 2400..." "${MARK}2400" \
    "baudrate 921600..." "${MARK}921600" "$OK_921600")" "$WORK/panel_negotiation.out" \
    >"$WORK/panel_negotiation.diff" && result=ok
verdict "$result" "打开 negotiates 2400 up to 921600, logged in Memo1" "$WORK/panel_negotiation.diff"
click ComboBox2 # 波特率: a speed typed in, one the list does not hold
xdotool key End BackSpace BackSpace BackSpace BackSpace BackSpace BackSpace && xdotool type 57600
click Button2
expect_that "a typed speed is the one negotiated" wait_until 30 log_has "初始化成功，双方的当前波特率：57600"

click Button1 # 刷图片
expect_that "刷图片 sends the demo picture's frame, as on Linux" wait_until 20 screen_is demo.png
click Button5 # 刷细线
expect_that "刷细线's lines stay in the preview, gray at half size" wait_until 20 preview_is lines.png
colour_sent() { [ "$(grep -c "host> set color to: $1" "$WORK/panel.transcript")" -eq "$2" ]; }
click RadioGroup2.7 # 白, the colour the reference screens are drawn in
expect_that "choosing 白 sends colour 7" wait_until 10 colour_sent 7 1

xclip -selection clipboard -t image/png -i "$WORK/picture.png"
expect_that "a picture copied to the clipboard is sent on its own, as on Linux" \
    wait_until 20 screen_is clipboard.png

probe put-dib
expect_that "a bitmap copied by a Windows program (CF_DIB) is sent, as on Linux" \
    wait_until 20 screen_is clipboard_bitmap.png

printf 'no picture at all' >"$WORK/unreadable.png"
shot Image1 480 "$WORK/image1_before.png"
read -r x y < <(probe center Image1)
"$LINUX_BUILD/tests/wine/xdnd_drop" "$WINDOW" "$x" "$y" "$WORK/unreadable.png" || true
box=$(probe box 10) || true # no box is a failure of its own below
expect_that "an unreadable dropped file gives its message box" \
    [ "$box" = "无法读取图片“Z:${WORK//\//\\}\\unreadable.png”：不是图片" ]
expect_that "and Image1 keeps its picture" wait_until 10 image1_is "$WORK/image1_before.png"
click Button3 # the stripes first: the clipboard's picture made the same frame as the file's
wait_until 20 screen_is stripes.png || true
"$LINUX_BUILD/tests/wine/xdnd_drop" "$WINDOW" "$x" "$y" "$WORK/picture.png" || true
expect_that "a dropped PNG is sent, as on Linux" wait_until 20 screen_is dropped.png

# The log's menu, its last item 保存日志…, and the file dialog: the panel's own lines.
{ probe log | grep -v '^$'; } >"$WORK/log_expected.txt"
click Memo1 3
sleep 0.5 # the menu takes the keys once it is up
xdotool key Up Return
sleep 1 # and the dialog its name
xdotool type --delay 10 'Z:'"${WORK//\//\\}"'\saved_log.txt'
xdotool key Return
saved_log_is_the_log() { [ -f "$WORK/saved_log.txt" ] && diff -q <(cat "$WORK/saved_log.txt"; echo) "$WORK/log_expected.txt" >/dev/null; }
expect_that "保存日志… in the log's menu saves the log" wait_until 10 saved_log_is_the_log

probe close
panel_status=0
wait_until 10 eval '! kill -0 "$PANEL_PID" 2>/dev/null' || true
wait "$PANEL_PID" || panel_status=$?
PANEL_PID=
expect_that "closing the window ends the panel with status 0" [ "$panel_status" -eq 0 ]
stop_module

echo
echo "wine: $PASSED passed, $FAILED failed ($((SECONDS - STARTED)) s)"
[ "$FAILED" -eq 0 ]
