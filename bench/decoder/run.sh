#!/usr/bin/env bash
# Times the decoder tool on the system's exact command line
#   WORKDIR/ffmpge.exe -i WORKDIR/1.mpg -y -f image2 -t 0.001 -s 720x480 WORKDIR/1.jpg
# against Debian's ffmpeg running the same line with -frames:v 1 in place of
# -t 0.001 (it writes nothing for an MPEG-2 still otherwise), in the same run:
# the two alternate, and the table shows medians, the ratio and peak RSS.
#   Usage: bench/decoder/run.sh [RUNS]     (default 21 runs each)
#   TOOL=path/to/bootlume-decode overrides the built program.
set -euo pipefail
root=$(cd "$(dirname "$0")/../.." && pwd)
tool=${TOOL:-$root/build/bin/bootlume-decode}
runs=${1:-21}
command -v ffmpeg >/dev/null || { echo "ffmpeg is not installed" >&2; exit 1; }
[[ -x $tool ]] || { echo "no $tool: build first (scripts/build.sh)" >&2; exit 1; }
[[ -x /usr/bin/time ]] || { echo "GNU time (/usr/bin/time) is needed for peak RSS" >&2; exit 1; }

work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
cp "$tool" "$work/ffmpge.exe"
samples=$root/../shared/samples
ffmpeg -nostdin -hide_banner -loglevel error -f lavfi -i testsrc2=s=720x576:r=25 -frames:v 1 \
  -c:v mpeg2video -q:v 3 -f mpeg2video "$work/pal576.m2v"

ours=("$work/ffmpge.exe" -i "$work/1.mpg" -y -f image2 -t 0.001 -s 720x480 "$work/1.jpg")
peer=(ffmpeg -i "$work/1.mpg" -y -f image2 -frames:v 1 -s 720x480 "$work/2.jpg")

now_ms() { local t=$EPOCHREALTIME; echo "${t/./}"; }  # microseconds
elapsed_us() { local start end; start=$(now_ms); "$@" </dev/null >/dev/null 2>&1 || return 1; end=$(now_ms); echo $((end - start)); }
median() { sort -n | awk '{v[NR]=$1} END {print (NR % 2) ? v[(NR + 1) / 2] : (v[NR / 2] + v[NR / 2 + 1]) / 2}'; }
peak_rss_kib() { /usr/bin/time -f %M "$@" </dev/null 2>&1 >/dev/null | tail -1; }

printf '%-22s %10s %10s %7s %12s %12s\n' stream "ours ms" "ffmpeg ms" ratio "ours RSS" "ffmpeg RSS"
for entry in "black.mvi:$samples/black.mvi" "radio.mvi:$samples/radio.mvi" "720x576 MPEG-2:$work/pal576.m2v"; do
  name=${entry%%:*}
  cp "${entry#*:}" "$work/1.mpg"
  rm -f "$work/1.jpg" "$work/2.jpg"
  elapsed_us "${ours[@]}" >/dev/null && elapsed_us "${peer[@]}" >/dev/null  # warm the caches
  [[ -s $work/1.jpg && -s $work/2.jpg ]] || { echo "$name: a program wrote no picture" >&2; exit 1; }
  : >"$work/ours.txt"
  : >"$work/peer.txt"
  for ((i = 0; i < runs; i++)); do
    elapsed_us "${ours[@]}" >>"$work/ours.txt"
    elapsed_us "${peer[@]}" >>"$work/peer.txt"
  done
  ours_us=$(median <"$work/ours.txt")
  peer_us=$(median <"$work/peer.txt")
  ours_rss=$(for _ in 1 2 3; do peak_rss_kib "${ours[@]}"; done | median)
  peer_rss=$(for _ in 1 2 3; do peak_rss_kib "${peer[@]}"; done | median)
  awk -v n="$name" -v o="$ours_us" -v p="$peer_us" -v orss="$ours_rss" -v prss="$peer_rss" 'BEGIN {
    printf "%-22s %10.1f %10.1f %6.2fx %8.1f MiB %8.1f MiB\n", n, o / 1000, p / 1000, o / p, orss / 1024, prss / 1024 }'
done
echo "($runs alternating runs each; medians of wall time; peak RSS is the median of 3 runs)"
