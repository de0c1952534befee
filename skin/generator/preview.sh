#!/bin/bash
# Composes the generated pictures into a picture of the main window, with stand-in label
# texts where the window draws its own, so a change of the artwork can be judged as a whole.
# Usage: skin/generator/preview.sh <artwork folder, e.g. build/win64/skin> [selected entry]
# Writes <artwork folder>/preview.png (needs ImageMagick).
set -euo pipefail
dir=$1
selected=${2:-state}
cd "$dir"
names=(state process cpu memory setting about)
tops=(134 169 204 239 274 309)
labels=("Status" "1 - Speed up process" "2 - Speed up CPU" "3 - Speed up memory" "Settings"
        "About")
labelTops=(144 178 214 248 283 320)
layers=()
for i in "${!names[@]}"; do
  state=0
  [ "${names[$i]}" = "$selected" ] && state=1
  layers+=(nav_${names[$i]}_$state.bmp -geometry +7+${tops[$i]} -composite)
done
texts=()
for i in "${!labels[@]}"; do texts+=(-annotate +72+${labelTops[$i]} "${labels[$i]}"); done
convert background.bmp caption.bmp -geometry +32+0 -composite "${layers[@]}" \
  min_0.bmp -geometry +720+6 -composite exit_0.bmp -geometry +752+6 -composite \
  -gravity NorthWest -font DejaVu-Sans -pointsize 10 -fill black -annotate +26+7 'Morwick' \
  -font DejaVu-Sans-Bold -pointsize 14 -fill 'rgb(64,64,64)' -annotate +112+46 'Morwick' \
  -font DejaVu-Sans -pointsize 10 -annotate +112+64 'Quorvant' -annotate +720+538 'v4.0.0.1' \
  -fill white "${texts[@]}" preview.png
