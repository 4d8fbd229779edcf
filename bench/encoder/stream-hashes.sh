#!/usr/bin/env bash
# SHA-256 of the encoder core's streams and reconstructions over a fixed set
# of frames, budgets and tunings: run before and after a change that must not
# alter the output, and diff the two listings.
#
# Frames: the shared corpus pictures stretched to 720x576 and 720x480 and
# converted to 4:2:0 by FFmpeg (so the picture path does not enter), and
# synthetic ones (ramps, seeded noise, alternating lines, flat, fine
# checkerboard). Budgets: 4096 16384 32704 65536 200000 with the default
# tuning; a few fixed tunings on two frames at 16384 and 200000.
# One line per encode: frame, system, budget, tuning, stream hash,
# reconstruction hash, and what bootlume-encode-raw reports (timing removed).
#
# Usage: bench/encoder/stream-hashes.sh > hashes.txt
# Env: BUILD (default build).
set -euo pipefail
root=$(cd "$(dirname "$0")/../.." && pwd)
build=${BUILD:-$root/build}
raw=$build/bin/bootlume-encode-raw
[[ -x $raw ]] || { echo "build first: $raw is missing" >&2; exit 1; }
corpus=$("$root/../shared/corpus/fetch-pictures.sh")
work=$(mktemp -d); trap 'rm -rf "$work"' EXIT

frames=()
for height in 576 480; do
  for img in "$corpus"/*; do
    [[ $img == *.bad ]] && continue
    name=$(basename "${img%.*}").$height
    convert "$img" -resize "720x$height!" -depth 8 "PNG24:$work/ref.png"
    ffmpeg -v error -y -i "$work/ref.png" -pix_fmt yuv420p -f rawvideo "$work/$name.yuv"
    frames+=("$name")
  done
  # Synthetic frames, deterministic (fixed seed).
  python3 - "$work" "$height" <<'EOF'
import random, sys
work, height = sys.argv[1], int(sys.argv[2])
width = 720
def plane(w, h, f):
    return bytes(max(0, min(255, int(f(x, y)))) for y in range(h) for x in range(w))
rng = random.Random(20240601 + height)
kinds = {
    "ramps": (lambda x, y: x * 255 / width, lambda x, y: 64 + y * 128 / height, lambda x, y: 200 - x * 100 / width),
    "noise": (lambda x, y: rng.randrange(256), lambda x, y: rng.randrange(256), lambda x, y: rng.randrange(256)),
    "lines": (lambda x, y: 40 + 170 * (y & 1) + x % 32, lambda x, y: 128 + 40 * ((y >> 3) & 1), lambda x, y: 100),
    "flat": (lambda x, y: 16, lambda x, y: 128, lambda x, y: 128),
    "checker": (lambda x, y: 235 if (x + y) & 1 else 16, lambda x, y: 240 if (x // 2 + y) & 1 else 16,
                lambda x, y: 16 if (x + y // 2) & 1 else 240),
}
for name, (fy, fcb, fcr) in kinds.items():
    with open(f"{work}/{name}.{height}.yuv", "wb") as out:
        out.write(plane(width, height, fy))
        out.write(plane(width // 2, height // 2, fcb))
        out.write(plane(width // 2, height // 2, fcr))
EOF
  for kind in ramps noise lines flat checker; do frames+=("$kind.$height"); done
done

encode() { # frame budget tuning-label [VAR=value...]
  local frame=$1 budget=$2 label=$3; shift 3
  local height=${frame##*.} report stream recon
  report=$(env "$@" "$raw" "$work/$frame.yuv" 720 "$height" "$budget" "$work/out.m2v" "$work/out.yuv" || true)
  if [[ $report == status* ]]; then stream=-; recon=-; else
    stream=$(sha256sum <"$work/out.m2v" | cut -c1-64); recon=$(sha256sum <"$work/out.yuv" | cut -c1-64); fi
  rm -f "$work/out.m2v" "$work/out.yuv"
  printf "%-26s %7s %-10s %s %s %s\n" "$frame" "$budget" "$label" "$stream" "$recon" "${report% ms *}"
}

for frame in "${frames[@]}"; do
  for budget in 4096 16384 32704 65536 200000; do encode "$frame" "$budget" default; done
done
for frame in chelsea.576 lines.480; do
  for budget in 16384 200000; do
    encode "$frame" "$budget" fixed-q BOOTLUME_FIXED_Q=6
    encode "$frame" "$budget" vlc0 BOOTLUME_VLC=0
    encode "$frame" "$budget" field BOOTLUME_DCT=2
    encode "$frame" "$budget" frame BOOTLUME_DCT=1
    encode "$frame" "$budget" dc10 BOOTLUME_DC=2
    encode "$frame" "$budget" norefine BOOTLUME_NOREFINE=1
    encode "$frame" "$budget" alternate BOOTLUME_ALT=1
    encode "$frame" "$budget" linear BOOTLUME_LINEAR=1
  done
done
