#!/usr/bin/env python3
"""Encoder quality against FFmpeg's MPEG-2 encoder, scored two ways.

For each picture of the shared corpus (stretched to 720x576 by ImageMagick, as
../shared/bench/peers.sh does) and each budget, FFmpeg's best fitting stream
(largest of its quantiser grid, default and tuned settings, +4 bytes for the
end code it does not write) is compared with ours, by RGB PSNR against the
reference after FFmpeg decodes the stream and converts it to RGB:

  default  FFmpeg's default conversion, which repeats each chroma sample over
           its 2x2 block as if it sat in the block's centre (peers.sh's score);
  sited    an interpolating conversion that puts chroma where MPEG-2 puts it:
           co-sited with the even luma columns, midway between rows.

Usage: bench/encoder/sited-quality.py [BUDGET...]   (default 16384 32704 65536)
"""
import os, re, statistics, subprocess, sys, tempfile

root = os.path.dirname(os.path.dirname(os.path.dirname(os.path.abspath(__file__))))
ours = os.environ.get("OURS", os.path.join(root, "build/bin/bootlume-encode"))
budgets = [int(b) for b in sys.argv[1:]] or [16384, 32704, 65536]
corpus = subprocess.run([os.path.join(root, "../shared/corpus/fetch-pictures.sh")], capture_output=True,
                        text=True, check=True).stdout.strip()
pictures = sorted(os.path.join(corpus, f) for f in os.listdir(corpus) if not f.endswith(".bad") and not f.startswith("."))
peers = {"ffmpeg-default": [], "ffmpeg-tuned": ["-qmin", "1", "-trellis", "2", "-mbd", "rd", "-intra_vlc", "1"]}
conversions = {
    "default": [],
    "sited": ["-vf", "scale=in_h_chr_pos=0:in_v_chr_pos=128:flags=bicubic+accurate_rnd+full_chroma_int"],
}


def run(*args):
    subprocess.run(args, check=True, stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)


def psnr(stream, reference, conversion, work):
    decoded = os.path.join(work, "decoded.png")
    run("ffmpeg", "-v", "error", "-y", "-i", stream, "-frames:v", "1", *conversions[conversion], decoded)
    out = subprocess.run(["ffmpeg", "-hide_banner", "-i", decoded, "-i", reference, "-lavfi",
                          "[0:v]format=rgb24[a];[1:v]format=rgb24[b];[a][b]psnr", "-f", "null", "-"],
                         capture_output=True, text=True).stderr
    return float(re.findall(r"average:([0-9.]+)", out)[-1])


rows = {b: [] for b in budgets}
with tempfile.TemporaryDirectory() as work:
    for picture in pictures:
        name = os.path.splitext(os.path.basename(picture))[0]
        reference = os.path.join(work, "ref.png")
        run("convert", picture, "-resize", "720x576!", "-depth", "8", "PNG24:" + reference)
        grid = {}  # (peer, q) -> (path, size)
        for peer, options in peers.items():
            for q in range(1, 32):
                path = os.path.join(work, f"{peer}.{q}.m2v")
                run("ffmpeg", "-v", "error", "-y", "-i", reference, "-c:v", "mpeg2video", "-frames:v", "1",
                    "-pix_fmt", "yuv420p", "-f", "mpeg2video", "-q:v", str(q), *options, path)
                grid[peer, q] = (path, os.path.getsize(path) + 4)
        for budget in budgets:
            mine = os.path.join(work, "ours.m2v")
            run(ours, "-p", "-f", reference, "-o", mine, "-s", str(budget))
            row = {"picture": name}
            for conversion in conversions:
                best = None
                for peer in peers:
                    fitting = [v for (p, _), v in grid.items() if p == peer and v[1] <= budget]
                    if fitting:
                        score = psnr(max(fitting, key=lambda v: v[1])[0], reference, conversion, work)
                        best = score if best is None else max(best, score)
                row[conversion] = psnr(mine, reference, conversion, work) - best
            rows[budget].append(row)
            print(f"{budget:6d} {name:20s} default {row['default']:+.3f}  sited {row['sited']:+.3f}", flush=True)

print("\nours minus the best FFmpeg peer, RGB PSNR in dB")
print(f"{'budget':>6} {'conversion':>10} {'mean':>7} {'worst':>7}")
for budget in budgets:
    for conversion in conversions:
        values = [r[conversion] for r in rows[budget]]
        print(f"{budget:6d} {conversion:>10} {statistics.mean(values):+7.3f} {min(values):+7.3f}")
