#!/usr/bin/env bash
# Picture input benchmarks: medians of the pipeline the encoder runs (read
# with the PAL target, resize to 720x576, convert to 4:2:0) on the large
# pictures of the shared corpus and on synthetic stages, then the peak memory
# of one pipeline run per picture against the picture's full-size RGB.
# Usage: bench/picture/run.sh [PICTURE...]   (default: the corpus's large ones)
set -euo pipefail
root=$(cd "$(dirname "$0")/../.." && pwd)
"$root/scripts/build.sh"
if (($# == 0)); then
  corpus=$("$root/../shared/corpus/fetch-pictures.sh") || { echo "no corpus, no pictures given" >&2; exit 1; }
  set -- "$corpus"/2004default.jpg "$corpus"/the-mouse.jpg "$corpus"/firstgeneration.jpg "$corpus"/goldfish.png \
    "$corpus"/city.png
fi
json=$(mktemp); trap 'rm -f "$json"' EXIT
"$root/build/bin/bench_picture" --benchmark_repetitions=15 --benchmark_report_aggregates_only=true \
  --benchmark_format=json "$@" >"$json" 2>/dev/null
python3 - "$json" <<'PY'
import json, sys
rows = [b for b in json.load(open(sys.argv[1]))["benchmarks"] if b["aggregate_name"] == "median"]
print(f"{'benchmark (median)':44} {'wall ms':>9} {'cpu ms':>9}")
for b in rows:
    print(f"{b['run_name']:44} {b['real_time']:9.2f} {b['cpu_time']:9.2f}")
PY
echo
printf "%-24s %11s %12s %14s %10s\n" picture size "full RGB MiB" "pipeline MiB" "x full RGB"
for picture in "$@"; do
  size=$(identify -format "%w %h" "$picture[0]" 2>/dev/null)
  read -r peak before full _ < <("$root/build/bin/picture_peak_memory" "$picture" $size)
  printf "%-24s %11s %12.1f %14.1f %10.2f\n" "$(basename "$picture")" "${size/ /x}" "$(echo "$full / 1024" | bc -l)" \
    "$(echo "($peak - $before) / 1024" | bc -l)" "$(echo "($peak - $before) / $full" | bc -l)"
done
