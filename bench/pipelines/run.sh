#!/usr/bin/env bash
# Replacement and preview through bootlume-cli, as a user runs them:
# median wall time over repeated runs and the peak memory of the whole
# process tree (the CLI and the tool it runs).
#   - replace the boot picture of a 16 MiB firmware with a 3840x2400 JPEG
#     (target: median <= 1 s, peak RSS <= 4 x 16 MiB + 64 MiB)
#   - preview of a 1920x1080 still (target: median <= 200 ms)
set -euo pipefail
root=$(cd "$(dirname "$0")/../.." && pwd)
"$root/scripts/build.sh"
runs=${RUNS:-9}
work=$(mktemp -d); trap 'rm -rf "$work"' EXIT
export XDG_RUNTIME_DIR=$work/runtime; mkdir -p "$XDG_RUNTIME_DIR"

# Fixtures: a 16 MiB firmware (the demo firmware followed by random data) and
# a 3840x2400 photograph-like JPEG; a firmware around the 1920x1080 still.
python3 - "$root/build/samples/demo-firmware.bin" "$work/firmware16.bin" \
  "$root/../shared/samples/radio.mvi" "$work/radio-firmware.bin" <<'PY'
import os, sys
demo = open(sys.argv[1], "rb").read()
rest = bytearray(os.urandom(16 * 2**20 - len(demo)))
for code in (b"\x00\x00\x01\xb3", b"\x00\x00\x01\xb7"):
    rest = rest.replace(code, b"\x00\x00\x02" + code[3:])
open(sys.argv[2], "wb").write(demo + bytes(rest))
radio = open(sys.argv[3], "rb").read() + b"\x00\x00\x01\xb7"
open(sys.argv[4], "wb").write(b"\x55" * 4096 + radio + b"\xff" * 4096)
PY
corpus=$("$root/../shared/corpus/fetch-pictures.sh" 2>/dev/null || true)
source_picture=${corpus:+$corpus/2004default.jpg}
if [[ -z $source_picture || ! -f $source_picture ]]; then
  convert -size 1920x1200 plasma:fractal "$work/plasma.png"; source_picture=$work/plasma.png
fi
convert "$source_picture" -resize '3840x2400!' -quality 92 "$work/photo.jpg"

python3 - "$root/build/bin/bootlume-cli" "$work" "$runs" <<'PY'
import os, statistics, sys, time
cli, work, runs = sys.argv[1], sys.argv[2], int(sys.argv[3])
def measure(args):
    walls, peaks = [], []
    for _ in range(runs):
        start = time.perf_counter()
        pid = os.spawnv(os.P_NOWAIT, cli, [cli] + args)
        _, status, usage = os.wait4(pid, 0)
        walls.append(time.perf_counter() - start)
        peaks.append(usage.ru_maxrss / 1024)  # KiB -> MiB; the largest process of the tree
        if status != 0: sys.exit(f"{args} failed with status {status}")
    return statistics.median(walls), max(peaks)
replace = measure(["replace", f"{work}/firmware16.bin", f"{work}/photo.jpg", "-o", f"{work}/out.bin"])
preview = measure(["extract", f"{work}/radio-firmware.bin", "-o", f"{work}/radio.jpg"])
print(f"{'operation':44} {'median s':>9} {'target':>7} {'peak MiB':>9} {'target':>7}")
print(f"{'replace, 16 MiB firmware, 3840x2400 JPEG':44} {replace[0]:9.3f} {1.0:7.3f} {replace[1]:9.1f} {4*16+64:7d}")
print(f"{'preview, 1920x1080 still':44} {preview[0]:9.3f} {0.2:7.3f} {preview[1]:9.1f} {'-':>7}")
PY
