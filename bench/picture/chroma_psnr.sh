#!/usr/bin/env bash
# What the chroma filter costs or gains once a decoder shows the picture:
# each corpus picture is stretched to 720x576 and turned into 4:2:0 twice
# with the same luma, once by ToPlanes420 (MPEG-2 chroma siting, 1-2-1 across
# and Lanczos2 down) and once by a plain 2x2 average; FFmpeg converts both back
# to RGB the way `ffmpeg -i x.y4m out.png` does, and each is scored as RGB
# PSNR against the 720x576 RGB picture.
# Usage: bench/picture/chroma_psnr.sh [PICTURE...]   (default: the shared corpus)
set -euo pipefail
root=$(cd "$(dirname "$0")/../.." && pwd)
"$root/scripts/build.sh"
if (($# == 0)); then
  corpus=$("$root/../shared/corpus/fetch-pictures.sh") || { echo "no corpus, no pictures given" >&2; exit 1; }
  set -- "$corpus"/*.jpg "$corpus"/*.png
fi
work=$(mktemp -d); trap 'rm -rf "$work"' EXIT
psnr() { ffmpeg -hide_banner -i "$1" -i "$2" -lavfi "[0:v]format=rgb24[a];[1:v]format=rgb24[b];[a][b]psnr" -f null - 2>&1 | sed -n 's/.*average:\([0-9.inf]*\).*/\1/p' | tail -1; }
printf "%-24s %10s %10s %8s %10s\n" picture mpeg2-sited 2x2-average diff ffmpeg
sum=0; count=0
for picture in "$@"; do
  "$root/build/bin/picture_chroma_planes" "$picture" "$work" || continue
  for kind in ours box; do ffmpeg -v error -y -i "$work/$kind.y4m" "$work/$kind.png"; done
  ours=$(psnr "$work/ours.png" "$work/rgb.ppm"); box=$(psnr "$work/box.png" "$work/rgb.ppm")
  ffmpeg -v error -y -i "$work/rgb.ppm" -pix_fmt yuv420p -f rawvideo "$work/ffmpeg.yuv"
  ffmpeg -v error -y -f rawvideo -pix_fmt yuv420p -s 720x576 -i "$work/ffmpeg.yuv" "$work/ffmpeg.png"
  own=$(psnr "$work/ffmpeg.png" "$work/rgb.ppm")
  diff=$(echo "$ours - $box" | bc -l)
  printf "%-24s %10.2f %10.2f %+8.2f %10.2f\n" "$(basename "$picture")" "$ours" "$box" "$diff" "$own"
  sum=$(echo "$sum + $diff" | bc -l); count=$((count + 1))
done
((count > 0)) && printf "%-24s %10s %10s %+8.2f\n" mean "" "" "$(echo "$sum / $count" | bc -l)"
