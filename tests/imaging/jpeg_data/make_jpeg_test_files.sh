#!/usr/bin/env bash
# Regenerates the JPEG test files in this folder and the reference decodes beside them.
# Needs Debian's libjpeg-turbo-progs (cjpeg, djpeg), imagemagick and python3.
# The tests read only the committed results, so this runs only when the set changes.
set -euo pipefail
cd "$(dirname "$0")"

IM=$(command -v convert-im6.q16 || command -v convert)
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT

# Sources: a photo-like colour field with a saturated red square in its top-left corner,
# and a gray ramp; the small ones have odd sizes so rows need padding.
"$IM" -seed 7 -size 480x480 plasma:fractal -fill red -draw 'rectangle 0,0 159,159' \
    -depth 8 "ppm:$work/color_480.ppm"
"$IM" "$work/color_480.ppm" -crop 101x67+0+100 +repage -fill red -draw 'rectangle 0,0 47,31' \
    -depth 8 "ppm:$work/color_small.ppm"
"$IM" -size 67x101 gradient:black-white -rotate 90 -depth 8 "pgm:$work/gray.pgm"

cjpeg -quality 85 -outfile color_480.jpg "$work/color_480.ppm"
cjpeg -quality 90 -outfile baseline_small.jpg "$work/color_small.ppm"
cjpeg -quality 90 -progressive -outfile progressive_small.jpg "$work/color_small.ppm"
cjpeg -quality 90 -rgb -outfile rgb_coded.jpg "$work/color_small.ppm"
cjpeg -quality 90 -grayscale -outfile gray.jpg "$work/gray.pgm"
# ImageMagick writes CMYK with an Adobe marker and inverted samples, as Photoshop does.
"$IM" "$work/color_small.ppm" -colorspace CMYK -quality 90 cmyk_adobe.jpg
: > empty.jpg
"$IM" -size 8x8 xc:blue bmp3:bitmap_named.jpg

python3 - <<'PY'
import struct

def segments(data):
    """Yields (offset, marker, segment bytes) up to and including the first SOS."""
    pos = 2
    while pos < len(data):
        marker = data[pos + 1]
        length = struct.unpack('>H', data[pos + 2:pos + 4])[0]
        yield pos, marker, data[pos:pos + 2 + length]
        if marker == 0xDA:
            return
        pos += 2 + length

base = open('baseline_small.jpg', 'rb').read()
soi, eoi = base[:2], b'\xff\xd9'

# Half the file: the header is intact, the scan ends early.
open('truncated_small.jpg', 'wb').write(base[:len(base) // 2])

# Quantization and Huffman tables and nothing else.
tables = b''.join(seg for _, m, seg in segments(base) if m in (0xDB, 0xC4))
open('tables_only.jpg', 'wb').write(soi + tables + eoi)

# A second frame header after the scan: fatal only once every row has been read.
sof = next(seg for _, m, seg in segments(base) if m == 0xC0)
assert base.endswith(eoi)
open('second_sof.jpg', 'wb').write(base[:-2] + sof + eoi)

# A frame header claiming 60000 x 60000 pixels in front of a small scan.
pos = next(p for p, m, _ in segments(base) if m == 0xC0)
big = bytearray(base)
big[pos + 5:pos + 9] = struct.pack('>HH', 60000, 60000)
open('oversized.jpg', 'wb').write(bytes(big))

# A progressive file whose second scan asks for an impossible band (start after end):
# libjpeg gives up while it reads the scans, before any row is out.
prog = bytearray(open('progressive_small.jpg', 'rb').read())
sos = [i for i in range(len(prog) - 1) if prog[i] == 0xFF and prog[i + 1] == 0xDA]
second = sos[1]
count = prog[second + 4]
ss = second + 5 + 2 * count
prog[ss] = 5
prog[ss + 1] = 1
open('bad_progression.jpg', 'wb').write(bytes(prog))

# The same CMYK samples without the Adobe marker, so they read as amounts of ink.
cmyk = open('cmyk_adobe.jpg', 'rb').read()
app14 = [seg for _, m, seg in segments(cmyk) if m == 0xEE]
assert len(app14) == 1
open('cmyk_plain.jpg', 'wb').write(cmyk.replace(app14[0], b'', 1))
PY

# Independent decodes with the picture's settings: float IDCT, libjpeg's defaults
# otherwise (block smoothing, fancy upsampling), 236 colours where it quantizes.
djpeg -dct float -bmp -outfile baseline_small.bmp baseline_small.jpg
djpeg -dct float -bmp -outfile progressive_small.bmp progressive_small.jpg
# djpeg warns about the premature end and exits with 2 for that warning.
djpeg -dct float -bmp -outfile truncated_small.bmp truncated_small.jpg 2>/dev/null || [ $? -eq 2 ]
djpeg -dct float -bmp -colors 236 -outfile gray_236.bmp gray.jpg
djpeg -dct float -bmp -colors 236 -outfile baseline_small_236.bmp baseline_small.jpg
