#!/usr/bin/env bash
# bootlume-encode against FFmpeg's MPEG-2 encoder on the shared picture corpus,
# and its speed and memory.
#
# Quality: ../shared/bench/peers.sh at each budget (default 16384 32704 65536);
# per picture and in the mean: our RGB PSNR minus the best FFmpeg peer's, our
# bytes as a share of the budget, our time; and "core diff", the same for our
# encoder core coding the 4:2:0 frame FFmpeg's conversion makes (what the
# peers code), which separates the coding from our picture path; and
# "ceiling", the score of our 4:2:0 frame before any coding minus the best
# peer's: where it is negative, no coding of that frame can reach the peer
# under this scoring.
# Speed: a 720x576 source (PNG) encoded at 32704 bytes, median of RUNS runs, and
# one FFmpeg encode of the same picture measured in the same run (the ratio);
# a 3840x2400 JPEG source likewise.
# Memory: peak RSS against 3x the decoded source picture + 16 MiB.
#
# Usage: bench/encoder/compare-with-ffmpeg.sh [BUDGET...]
# Env: BUILD (default build), RUNS (default 15), PICTURES (default: the corpus),
#      QUALITY=0 for the speed and memory figures alone.
# Targets (printed beside the figures): quality >= best peer on every picture
# and >= +0.5 dB in the mean; bytes >= 98% of the budget unless our best stream
# is smaller; 720x576 <= 150 ms median and <= 2x FFmpeg; 3840x2400 JPEG
# <= 400 ms; peak RSS <= 3x decoded source + 16 MiB.
set -euo pipefail
root=$(cd "$(dirname "$0")/../.." && pwd)
shared=$root/../shared
build=${BUILD:-$root/build}
ours=$build/bin/bootlume-encode
runs=${RUNS:-15}
budgets=("$@")
[[ ${#budgets[@]} -gt 0 ]] || budgets=(16384 32704 65536)
[[ -x $ours ]] || { echo "build first: $ours is missing" >&2; exit 1; }
corpus=$("$shared/corpus/fetch-pictures.sh")
if [[ -n ${PICTURES:-} ]]; then read -r -a pictures <<<"$PICTURES"; else
  pictures=(); for f in "$corpus"/*; do [[ $f == *.bad ]] || pictures+=("$f"); done; fi
work=$(mktemp -d); trap 'rm -rf "$work"' EXIT

median() { sort -g | awk '{a[NR]=$1} END {print (NR%2) ? a[(NR+1)/2] : (a[NR/2]+a[NR/2+1])/2}'; }
now() { date +%s.%N; }

if [[ ${QUALITY:-1} != 0 ]]; then
echo "# Quality against FFmpeg (peers.sh), our stream made from the same 720x576 reference"
raw=$build/bin/bootlume-encode-raw
psnr() { ffmpeg -hide_banner -i "$1" -i "$2" -lavfi "[0:v]format=rgb24[a];[1:v]format=rgb24[b];[a][b]psnr" -f null - 2>&1 | sed -n 's/.*average:\([0-9.inf]*\).*/\1/p' | tail -1; }
# Each 4:2:0 frame before coding, scored as peers.sh scores a decoded stream:
# ours (the ceiling of any coding of it) and FFmpeg's own (swscale's).
to_yuv=$build/bin/bootlume-picture-to-yuv
: >"$work/uncoded.txt"
for img in "${pictures[@]}"; do
  convert "$img" -resize '720x576!' -depth 8 "PNG24:$work/ref.png"
  "$to_yuv" "$work/ref.png" 720 576 "$work/ours.yuv"
  ffmpeg -v error -y -s 720x576 -pix_fmt yuv420p -f rawvideo -i "$work/ours.yuv" "$work/ours420.png"
  ffmpeg -v error -y -i "$work/ref.png" -pix_fmt yuv420p -f rawvideo "$work/ff.yuv"
  ffmpeg -v error -y -s 720x576 -pix_fmt yuv420p -f rawvideo -i "$work/ff.yuv" "$work/ff420.png"
  echo "$(basename "$img") $(psnr "$work/ours420.png" "$work/ref.png") $(psnr "$work/ff420.png" "$work/ref.png")" >>"$work/uncoded.txt"
done
for budget in "${budgets[@]}"; do
  OURS=$ours bash "$shared/bench/peers.sh" "$budget" "${pictures[@]}" >"$work/peers.$budget.txt" 2>/dev/null
  # The encoder core alone, on the 4:2:0 frame FFmpeg's own conversion makes
  # (the frame the peers code): separates coding from the picture path.
  : >"$work/core.$budget.txt"
  for img in "${pictures[@]}"; do
    convert "$img" -resize '720x576!' -depth 8 "PNG24:$work/ref.png"
    ffmpeg -v error -y -i "$work/ref.png" -pix_fmt yuv420p -f rawvideo "$work/ff.yuv"
    "$raw" "$work/ff.yuv" 720 576 "$budget" "$work/core.m2v" >/dev/null
    ffmpeg -v error -y -f mpegvideo -i "$work/core.m2v" -frames:v 1 "$work/core.png"
    echo "$(basename "$img") $(psnr "$work/core.png" "$work/ref.png")" >>"$work/core.$budget.txt"
  done
  awk -v budget="$budget" '
    FNR == 1 { file++ }
    file == 1 { uncoded[$1] = $2; next }
    file == 2 { core[$1] = $2; next }
    /^## / { pic = $2; order[++n] = pic; next }
    $1 == "ffmpeg-default" || $1 == "ffmpeg-tuned" { if ($3 != "none-fits" && $3 + 0 > best[pic]) best[pic] = $3 + 0 }
    $1 == "ours" { bytes[pic] = $2; psnr[pic] = $3; secs[pic] = $4 }
    END {
      printf "\n## budget %d\n%-22s %9s %9s %8s %7s %8s %10s %9s\n", budget, "picture", "ours dB", "best ff", "diff dB", "share", "time s", "core diff", "ceiling"
      for (i = 1; i <= n; i++) {
        p = order[i]; d = psnr[p] - best[p]; sum += d; share = bytes[p] / budget; shares += share; t += secs[p]
        c = core[p] - best[p]; csum += c
        if (d < worst || i == 1) worst = d
        ceiling = uncoded[p] - best[p]; if (ceiling < 0) capped++
        printf "%-22s %9.3f %9.3f %+8.3f %6.1f%% %8.3f %+10.3f %+9.3f\n", p, psnr[p], best[p], d, 100 * share, secs[p], c, ceiling
      }
      printf "%-22s %9s %9s %+8.3f %6.1f%% %8.3f %+10.3f   (worst picture %+.3f dB)\n", "MEAN", "", "", sum / n, 100 * shares / n, t / n, csum / n, worst
      printf "pictures whose uncoded 4:2:0 frame already scores below the best peer: %d\n", capped
    }' "$work/uncoded.txt" "$work/core.$budget.txt" "$work/peers.$budget.txt"
done

echo
echo "# The 4:2:0 frame before coding: RGB PSNR after FFmpeg's conversion back, for"
echo "# our picture path and for FFmpeg's own (swscale, as the peers get it)"
printf "%-22s %9s %9s\n" picture ours swscale
awk '{ printf "%-22s %9.3f %9.3f\n", $1, $2, $3 }' "$work/uncoded.txt"

echo
echo "# Best streams (budget 4000000): bytes, to judge shares below 98%"
for img in "${pictures[@]}"; do
  convert "$img" -resize '720x576!' -depth 8 "PNG24:$work/ref.png"
  "$ours" -p -f "$work/ref.png" -o "$work/best.m2v" -s 4000000 >/dev/null 2>&1 || true
  printf "%-22s %8s\n" "$(basename "$img")" "$(stat -c %s "$work/best.m2v" 2>/dev/null || echo -)"
done

fi

echo
echo "# Speed (median of $runs runs, wall clock; the machine may be shared)"
small=${pictures[0]}
convert "$small" -resize '720x576!' -depth 8 "PNG24:$work/src576.png"
big=""
for img in "${pictures[@]}"; do
  if [[ $(identify -format '%m %w %h' "$img" 2>/dev/null) == "JPEG 3840 2400" ]]; then big=$img; break; fi
done
[[ -n $big ]] || { convert "$small" -resize '3840x2400!' -quality 92 "$work/big.jpg"; big=$work/big.jpg; }
time_runs() { # command... -> median seconds
  for ((i = 0; i < runs; i++)); do t0=$(now); "$@" >/dev/null 2>&1 || true; t1=$(now); echo "$t1 - $t0" | bc; done | median
}
ff_encode() { ffmpeg -v error -y -i "$1" -c:v mpeg2video -frames:v 1 -pix_fmt yuv420p -q:v 8 -qmin 1 -trellis 2 -mbd rd -intra_vlc 1 -f mpeg2video "$work/ff.m2v"; }
ff_plain() { ffmpeg -v error -y -i "$1" -c:v mpeg2video -frames:v 1 -pix_fmt yuv420p -q:v 8 -f mpeg2video "$work/ff.m2v"; }
ours576=$(time_runs "$ours" -p -f "$work/src576.png" -o "$work/o.m2v" -s 32704)
ff576=$(time_runs ff_encode "$work/src576.png")
ffplain576=$(time_runs ff_plain "$work/src576.png")
oursbig=$(time_runs "$ours" -p -f "$big" -o "$work/o.m2v" -s 32704)
printf "%-44s %8.3f s\n" "ours, 720x576 PNG, budget 32704" "$ours576"
printf "%-44s %8.3f s   ratio ours/ffmpeg %.2f\n" "ffmpeg-tuned, one encode of the same PNG" "$ff576" "$(echo "$ours576 / $ff576" | bc -l)"
printf "%-44s %8.3f s   ratio ours/ffmpeg %.2f\n" "ffmpeg-default, one encode of the same PNG" "$ffplain576" "$(echo "$ours576 / $ffplain576" | bc -l)"
printf "%-44s %8.3f s   (%s)\n" "ours, 3840x2400 JPEG, budget 32704" "$oursbig" "$(basename "$big")"

echo
echo "# Memory (peak RSS)"
rss() { /usr/bin/time -f %M "$@" 2>&1 >/dev/null | tail -1; }
for src in "$work/src576.png" "$big"; do
  read -r w h < <(identify -format '%w %h\n' "$src" | head -1)
  kb=$(rss "$ours" -p -f "$src" -o "$work/o.m2v" -s 32704)
  limit=$(( (3 * w * h * 3 + 16 * 1024 * 1024) / 1024 ))
  printf "%-44s %8d KiB   limit %8d KiB (3 x %dx%d x 3 bytes + 16 MiB)\n" "ours, $(basename "$src")" "$kb" "$limit" "$w" "$h"
done
