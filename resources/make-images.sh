#!/usr/bin/env bash
# How the window's background picture and the program's icons were drawn
# (ImageMagick 6). The images are kept in the repository; run this only to
# redraw them. Writes into the folder it lives in.
set -euo pipefail
cd "$(dirname "$0")"
# A database cylinder: x y width height body-colour top-colour outline.
cyl() {
  local x=$1 y=$2 w=$3 h=$4 fill=$5 top=$6 stroke=$7
  local rx=$((w/2)) ry=$((w/6)) cx=$((x+w/2))
  args+=(-stroke none -fill "$fill" -draw "ellipse $cx,$((y+h)) $rx,$ry 0,180"
         -draw "rectangle $x,$y $((x+w)),$((y+h))"
         -stroke "$stroke" -strokewidth 2 -fill none -draw "ellipse $cx,$((y+h)) $rx,$ry 0,180"
         -draw "line $x,$y $x,$((y+h))" -draw "line $((x+w)),$y $((x+w)),$((y+h))"
         -draw "ellipse $cx,$((y+h/3)) $rx,$ry 0,180" -draw "ellipse $cx,$((y+2*h/3)) $rx,$ry 0,180"
         -fill "$top" -draw "ellipse $cx,$y $rx,$ry 0,360")
}
args=(-size 488x340 gradient:'#FFFFFF-#BFD4EA'
  -stroke none -fill '#E6EFF8' -draw "circle -40,380 170,330"
  -fill '#D3E2F1' -draw "circle 520,400 360,300")
cyl 122 84 76 70 '#B8BEC6' '#DDE1E6' '#6B7480'
cyl 290 84 76 70 '#3F7CC0' '#86B4E3' '#1F4F86'
args+=(-stroke '#1F4F86' -strokewidth 6 -draw "line 214,126 258,126" -stroke none -fill '#1F4F86' -draw "polygon 256,113 276,126 256,139"
  -font DejaVu-Sans-Bold -pointsize 15 -fill '#4A525C' -annotate +141+196 "V3.1" -fill '#1F4F86' -annotate +309+196 "2014"
  -font DejaVu-Sans-Bold -pointsize 24 -fill '#1F4F86' -annotate +14+40 "Calmora"
  -font DejaVu-Sans -pointsize 12 -fill '#4A6A8E' -annotate +16+58 "database import")
convert "${args[@]}" -type TrueColor PNG24:frmMain-background.png
# The icon: the 2014 cylinder with an arrow, drawn large, then reduced.
args=(-size 256x256 xc:none)
cyl 40 40 176 160 '#3F7CC0' '#86B4E3' '#1F4F86'
args+=(-stroke none -fill '#E8F0F9' -draw "polygon 70,150 150,150 150,120 200,170 150,220 150,190 70,190")
big=$(mktemp --suffix=.png)
trap 'rm -f "$big"' EXIT
convert "${args[@]}" "$big"
convert "$big" -resize 48x48 PNG32:calmora-import-48.png
convert "$big" -resize 16x16 -background '#FFFFFF' -alpha remove -type TrueColor PNG24:calmora-import-16.png
