#!/usr/bin/env bash
# Regenerates the JPEG test files here and djpeg's reference decodes of them. Needs cjpeg and
# djpeg (libjpeg-turbo-progs), imagemagick and python3; the tests read only the committed files.
set -euo pipefail
cd "$(dirname "$0")"
IM=$(command -v convert-im6.q16 || command -v convert)
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
# A colour field with a saturated red square top left, and a gray ramp; odd sizes pad rows.
"$IM" -seed 7 -size 480x480 plasma:fractal -fill red -draw 'rectangle 0,0 159,159' \
    -depth 8 "ppm:$work/color_480.ppm"
"$IM" "$work/color_480.ppm" -crop 101x67+0+100 +repage -fill red -draw 'rectangle 0,0 47,31' \
    -depth 8 "ppm:$work/small.ppm"
"$IM" -size 67x101 gradient:black-white -rotate 90 -depth 8 "pgm:$work/gray.pgm"
cjpeg -quality 85 -outfile color_480.jpg "$work/color_480.ppm"
cjpeg -quality 90 -outfile baseline_small.jpg "$work/small.ppm"
cjpeg -quality 90 -progressive -outfile progressive_small.jpg "$work/small.ppm"
cjpeg -quality 90 -rgb -outfile rgb_coded.jpg "$work/small.ppm"
cjpeg -quality 90 -grayscale -outfile gray.jpg "$work/gray.pgm"
"$IM" "$work/small.ppm" -colorspace CMYK -quality 90 cmyk_adobe.jpg  # inverted, Adobe marker
: > empty.jpg
"$IM" -size 8x8 xc:blue bmp3:bitmap_named.jpg

python3 - <<'PY'
import struct

def segments(data):  # (offset, marker, segment) up to and including the first SOS
    pos = 2
    while True:
        length = struct.unpack('>H', data[pos + 2:pos + 4])[0]
        yield pos, data[pos + 1], data[pos:pos + 2 + length]
        if data[pos + 1] == 0xDA:
            return
        pos += 2 + length

base = open('baseline_small.jpg', 'rb').read()
open('truncated_small.jpg', 'wb').write(base[:len(base) // 2])
tables = b''.join(seg for _, m, seg in segments(base) if m in (0xDB, 0xC4))
open('tables_only.jpg', 'wb').write(base[:2] + tables + b'\xff\xd9')
sof_at, _, sof = next(s for s in segments(base) if s[1] == 0xC0)
open('second_sof.jpg', 'wb').write(base[:-2] + sof + base[-2:])  # fatal only after every row
big = bytearray(base)
big[sof_at + 5:sof_at + 9] = struct.pack('>HH', 60000, 60000)
open('oversized.jpg', 'wb').write(big)
prog = bytearray(open('progressive_small.jpg', 'rb').read())
second = [i for i in range(len(prog) - 1) if prog[i:i + 2] == b'\xff\xda'][1]
ss = second + 5 + 2 * prog[second + 4]
prog[ss:ss + 2] = b'\x05\x01'
open('bad_progression.jpg', 'wb').write(prog)  # a band past its end: fatal before any row
scans = [i for i in range(len(prog) - 1) if prog[i:i + 2] == b'\xff\xda']
# Cut off after the DC scan and two AC scans: only block smoothing fills in the missing
# detail, and it changes the picture.
open('truncated_progressive.jpg', 'wb').write(open('progressive_small.jpg', 'rb').read()[:scans[3]])
cmyk = open('cmyk_adobe.jpg', 'rb').read()
(app14,) = [seg for _, m, seg in segments(cmyk) if m == 0xEE]
open('cmyk_plain.jpg', 'wb').write(cmyk.replace(app14, b'', 1))  # samples read as ink

def seg(marker, body):
    return b'\xff' + bytes([marker]) + struct.pack('>H', len(body) + 2) + body
one_code = bytes([1] + [0] * 15) + b'\x00'  # a Huffman table of one 1-bit code, for symbol 0
bomb = (b'\xff\xd8' + seg(0xDB, b'\x00' + bytes([1] * 64)) +
        seg(0xC2, struct.pack('>BHHB', 8, 2048, 2048, 1) + b'\x01\x11\x00') +
        seg(0xC4, b'\x00' + one_code + b'\x10' + one_code) +
        seg(0xDA, b'\x01\x01\x00\x00\x00\x00') +  # the DC scan, then 1,000 empty AC scans
        seg(0xDA, b'\x01\x01\x00\x01\x3f\x00') * 1000 + b'\xff\xd9')
open('scan_bomb.jpg', 'wb').write(bomb)  # each empty scan still costs a pass over the picture
PY

# The picture's settings: float IDCT, 236 colours; djpeg exits with 2 for a truncation warning.
for name in baseline_small progressive_small truncated_small truncated_progressive; do
    djpeg -dct float -bmp -outfile $name.bmp $name.jpg 2>/dev/null || [ $? -eq 2 ]
done
djpeg -dct float -bmp -colors 236 -outfile gray_236.bmp gray.jpg
djpeg -dct float -bmp -colors 236 -outfile baseline_small_236.bmp baseline_small.jpg
djpeg -nosmooth -dct float -bmp -outfile "$work/rough.bmp" truncated_progressive.jpg 2>/dev/null ||
    [ $? -eq 2 ]
# Block smoothing must matter for the cut-off progressive file, or its case tests nothing.
if cmp -s "$work/rough.bmp" truncated_progressive.bmp; then
    echo "truncated_progressive.jpg decodes alike without block smoothing: cut it elsewhere" >&2
    exit 1
fi
