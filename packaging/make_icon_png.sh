#!/usr/bin/env bash
# Renders lcdpanel.svg into the committed 128 px lcdpanel.png and the Windows icon
# lcdpanel.ico. Run it after editing the SVG.
# ImageMagick's convert reads SVG through librsvg's rsvg-convert (Debian: imagemagick,
# librsvg2-bin). The date chunks are left out so that the same SVG gives the same bytes.
set -euo pipefail
cd "$(dirname "$0")"
command -v rsvg-convert >/dev/null || { echo "needs rsvg-convert (librsvg2-bin)" >&2; exit 1; }
/usr/bin/convert -background none lcdpanel.svg -resize 128x128 -strip \
    -define png:exclude-chunks=date,time PNG32:lcdpanel.png
# The Windows programs' icon, at the sizes Explorer and the title bar use.
/usr/bin/convert lcdpanel.png -define icon:auto-resize=48,32,16 lcdpanel.ico
