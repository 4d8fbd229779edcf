#!/usr/bin/env bash
# Slot search and splice benchmarks: medians of repeated runs and the ratios
# that matter (search throughput against memmem, splice against one copy).
set -euo pipefail
root=$(cd "$(dirname "$0")/../.." && pwd)
"$root/scripts/build.sh"
json=$(mktemp); trap 'rm -f "$json"' EXIT
"$root/build/bin/bench_slot" --benchmark_repetitions=15 --benchmark_report_aggregates_only=true \
  --benchmark_format=json >"$json" 2>/dev/null
python3 - "$json" <<'PY'
import json, sys
rows = {b["run_name"]: b for b in json.load(open(sys.argv[1]))["benchmarks"] if b["aggregate_name"] == "median"}
def ms(name): return rows[name]["real_time"]
def gbs(name): return rows[name]["bytes_per_second"] / 1e9
print(f"{'benchmark':34} {'median ms':>10} {'GB/s':>8}")
for name in rows: print(f"{name:34} {ms(name):10.3f} {gbs(name):8.2f}")
for arg, kind in (("0", "firmware-like"), ("1", "random")):
    ours, peer = f"FindPictureSlotIn64MiB/random:{arg}", f"MemmemSameSearchesIn64MiB/random:{arg}"
    print(f"search throughput vs memmem, {kind} image: {gbs(ours) / gbs(peer):.2f}x (target >= 0.8x)")
print(f"splice: {ms('SplicePictureStreamIn16MiB') / 16:.3f} ms per MiB, "
      f"{ms('SplicePictureStreamIn16MiB') / ms('CopyOf16MiB'):.2f} plain copies of the image (limit 2)")
PY
