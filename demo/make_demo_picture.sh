#!/usr/bin/env bash
# Draws the panel's demo picture, demo480x480-4.jpg: gradients, shapes, fine lines and
# text, so that both the automatic and a manual threshold have something to show.
# Needs ImageMagick (Debian: imagemagick) and the DejaVu fonts.
set -euo pipefail
cd "$(dirname "$0")"
font=/usr/share/fonts/truetype/dejavu/DejaVuSans-Bold.ttf
/usr/bin/convert -size 480x480 \
    gradient:'#1d3557-#f1faee' \
    \( -size 480x160 gradient:'#e63946-#ffb703' -rotate 90 -resize 160x480\! \) \
    -geometry +320+0 -composite \
    -fill '#457b9d' -draw 'circle 150,170 150,60' \
    -fill '#f1faee' -draw 'circle 150,170 150,110' \
    -fill '#2a9d8f' -draw 'rectangle 40,300 200,440' \
    -fill '#264653' -draw 'polygon 250,440 330,280 410,440' \
    -stroke '#111111' -strokewidth 1 \
    -draw 'line 230,40 300,40' -draw 'line 230,48 300,48' -draw 'line 230,56 300,56' \
    -draw 'line 230,64 300,64' -draw 'line 230,72 300,72' -draw 'line 230,80 300,80' \
    -stroke none -fill '#000000' -font "$font" -pointsize 44 -draw "text 220,150 'LCD'" \
    -fill '#ffffff' -pointsize 26 -draw "text 224,200 '480 x 480'" \
    -fill '#1d3557' -pointsize 18 -draw "text 40,470 'one bit per pixel'" \
    -quality 90 -sampling-factor 2x2 -strip demo480x480-4.jpg
echo "wrote $(pwd)/demo480x480-4.jpg"
