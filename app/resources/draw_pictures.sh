#!/bin/sh
# Redraws the program's pictures with ImageMagick; the PNG files are kept in
# the tree, so this runs only when a picture changes.
set -e
cd "$(dirname "$0")"

# The program icon: a box with an arrow going into it, drawn at 48 px and
# scaled down for the smaller sizes.
convert -size 48x48 xc:none \
  -fill '#c98a3c' -stroke '#6b4419' -strokewidth 2 -draw 'rectangle 6,22 42,44' \
  -fill '#e0a85a' -draw 'polygon 6,22 12,16 36,16 42,22' \
  -stroke none -fill '#1e6fc8' -draw 'rectangle 20,2 28,20' -draw 'polygon 13,18 35,18 24,32' \
  -strip mainicon-48.png
convert mainicon-48.png -resize 32x32 -strip mainicon-32.png
convert mainicon-48.png -resize 16x16 -strip mainicon-16.png

# The settings button: a gear.
convert -size 20x20 xc:none \
  -fill '#555555' -stroke none \
  -draw 'rectangle 8,1 11,18' -draw 'rectangle 1,8 18,11' \
  -draw 'polygon 3,5 5,3 16,14 14,16' -draw 'polygon 14,3 16,5 5,16 3,14' \
  -draw 'circle 10,10 10,3' \
  -fill '#f0f0f0' -draw 'circle 10,10 10,7' \
  -strip settings-20.png

# The same pictures as Windows icon resources, for the Windows build.
convert mainicon-16.png mainicon-32.png mainicon-48.png -depth 8 mainicon.ico
convert settings-20.png -depth 8 -type TrueColorAlpha btnconfig.ico
