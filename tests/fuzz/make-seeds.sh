#!/usr/bin/env bash
# Writes a small seed corpus for every fuzz target into OUT/<target>/:
# MPEG streams and pictures made by FFmpeg and ImageMagick, the shared sample
# stills, and the structured inputs of the checks (see each check's source
# for its input layout). Made at fuzz time, so no binary is kept in git.
#   fuzz/make-seeds.sh OUT
set -euo pipefail
out=$1
here=$(cd "$(dirname "$0")" && pwd)
shared=$here/../../../shared/samples
media=$(mktemp -d)
trap 'rm -rf "$media"' EXIT

ff() { ffmpeg -v error -nostdin -y "$@"; }

# MPEG-1/2 video stills, small, of several kinds.
src=(-f lavfi -i testsrc2=size=48x32:rate=25)
ff "${src[@]}" -frames:v 1 -c:v mpeg2video -q:v 4 -f mpeg2video "$media/frame.m2v"
ff "${src[@]}" -frames:v 1 -c:v mpeg2video -q:v 20 -intra_vlc 1 -f mpeg2video "$media/coarse.m2v"
ff "${src[@]}" -frames:v 1 -c:v mpeg2video -flags +ildct+ilme -top 1 -alternate_scan 1 -f mpeg2video "$media/interlaced.m2v"
ff "${src[@]}" -frames:v 1 -c:v mpeg2video -pix_fmt yuv422p -f mpeg2video "$media/chroma422.m2v"
ff "${src[@]}" -frames:v 1 -c:v mpeg1video -f mpeg1video "$media/mpeg1.m1v"
ff -f lavfi -i testsrc2=size=16x16:rate=25 -frames:v 2 -g 1 -c:v mpeg2video -f mpeg2video "$media/two.m2v"

# Pictures for the readers and the view.
convert -size 24x16 gradient:red-blue "$media/grad.png"
convert "$media/grad.png" -quality 80 "$media/base.jpg"
convert "$media/grad.png" -interlace JPEG "$media/progressive.jpg"
convert "$media/grad.png" -colorspace Gray "$media/grey.jpg"
convert "$media/grad.png" -colorspace CMYK "$media/cmyk.jpg"
convert "$media/grad.png" -orient RightTop "$media/oriented.jpg"
convert "$media/grad.png" -alpha set -channel A -evaluate set 50% "PNG32:$media/alpha.png"
convert "$media/grad.png" -colors 4 "PNG8:$media/palette.png"
convert "$media/grad.png" -depth 16 "PNG48:$media/deep.png"
convert "$media/grad.png" -colorspace Gray "PNG:$media/grey.png"
convert "$media/grad.png" "BMP3:$media/rgb.bmp"
convert "$media/grad.png" -colors 16 -type Palette "BMP3:$media/palette.bmp"
convert "$media/grad.png" -alpha set "BMP:$media/alpha.bmp"
convert "$media/grad.png" -colors 8 "$media/still.gif"
convert -delay 10 "$media/grad.png" "$media/grey.png" -loop 0 "$media/animated.gif"
convert "$media/grad.png" "$media/icon.ico"
convert "$media/grad.png" "$media/pcx.pcx"
head -c 300 "$media/base.jpg" >"$media/cut.jpg"

python3 - "$out" "$media" "$shared" <<'EOF'
import os, struct, sys
out, media, shared = sys.argv[1:4]

def read(path):
    with open(path, 'rb') as f:
        return f.read()

def seeds(target, items):
    folder = os.path.join(out, target)
    os.makedirs(folder, exist_ok=True)
    for name, data in items.items():
        with open(os.path.join(folder, name), 'wb') as f:
            f.write(data)

def m(name):
    return read(os.path.join(media, name))

HEADER, END = b'\x00\x00\x01\xb3', b'\x00\x00\x01\xb7'
streams = {n: m(n) for n in ('frame.m2v', 'coarse.m2v', 'interlaced.m2v', 'chroma422.m2v', 'mpeg1.m1v', 'two.m2v')}
for n in ('black.mvi', 'radio.mvi'):
    path = os.path.join(shared, n)
    if os.path.exists(path):
        streams[n] = read(path)
closed = streams['frame.m2v'] + END
filler = bytes((i * 37) % 251 + 3 for i in range(600))

# slot_splice: flags, stream length (16 bits), [start, end, length], stream, image.
def splice(stream, image, slot=None):
    head = struct.pack('<BH', 1 if slot else 0, len(stream))
    if slot:
        head += struct.pack('<iii', *slot)
    return head + stream + image
image = filler[:200] + closed + filler[200:]
start = 201
seeds('slot_splice', {
    'fits': splice(closed[:len(closed) // 2] + END, image),
    'exact': splice(closed, image),
    'too-long': splice(closed + b'\x11', image),
    'empty-stream': splice(b'', image),
    'end-before-header': splice(closed, filler[:50] + END + filler[50:300] + closed + filler[300:]),
    'two-stills': splice(closed, image + closed + filler[:40]),
    'header-then-end': splice(HEADER + END, filler[:20] + HEADER + END + filler[20:40]),
    'no-end-code': splice(closed, filler[:100] + streams['frame.m2v'] + filler[100:140]),
    'given-slot': splice(closed[:100], image, (start, start + len(closed) - 4, len(closed))),
    'foreign-slot': splice(closed[:100], image, (start + 3, start + len(closed) - 4, len(closed) - 3)),
})

# byte_operations: start, length, limit, flags, pattern, replacement, buffer.
def ops(start, length, limit, flags, pattern, replacement, buffer):
    return (struct.pack('<iiiB', start, length, limit, flags) + bytes([len(pattern)]) + pattern +
            bytes([len(replacement)]) + replacement + buffer)
eight = HEADER + END
seeds('byte_operations', {
    'find-end': ops(1, 4, 0, 0, END, b'\xff', eight),
    'negative-start': ops(-7, 3, 0, 0, END, b'', eight),
    'middle-past-end': ops(7, 5, 0, 0, b'', b'', eight),
    'replace-range': ops(3, 2, 0, 0, b'', b'\xaa\xbb\xcc', eight),
    'occurrences-limit': ops(1, 0, 1, 1, b'\x00\x00', b'\xff', b'\x00\x00\x00\x00\x00'),
    'small-values': ops(0xFE, 0x03, 0x02, 3, b'\x00', b'\xff\xff', eight * 3),
})

seeds('decoder_core', dict(streams, **{'closed.m2v': closed, 'cut.m2v': streams['frame.m2v'][:300]}))

pictures = {n: m(n) for n in ('base.jpg', 'progressive.jpg', 'grey.jpg', 'cmyk.jpg', 'oriented.jpg', 'cut.jpg',
                              'grad.png', 'alpha.png', 'palette.png', 'deep.png', 'grey.png', 'rgb.bmp',
                              'palette.bmp', 'alpha.bmp', 'still.gif', 'animated.gif')}
seeds('picture_readers', pictures)
# Odd lengths are read at full size, even ones for the frame: both of each.
seeds('picture_readers', {n + '.odd' if len(d) % 2 == 0 else n + '.even': d + b'\x00' for n, d in pictures.items()})

# encoder_core: width, height, budget/4, flags, [quantiser], colours.
def enc(w, h, budget, flags, colours, quantiser=None):
    head = struct.pack('<BBHB', w - 1, h - 1, (budget - 1) // 4, flags)
    if quantiser is not None:
        head += bytes([quantiser - 1])
    return head + colours
rgb = read(os.path.join(media, 'rgb.bmp'))[54:54 + 24 * 16 * 3]
seeds('encoder_core', {
    'pal': enc(24, 16, 30000, 0, rgb),
    'ntsc': enc(24, 16, 30000, 1, rgb),
    'tight': enc(24, 16, 4000, 0, rgb),
    'beyond-vbv': enc(24, 16, 250000, 0, rgb),
    'flat': enc(2, 2, 8000, 0, b'\x80'),
    'fixed-quantiser': enc(24, 16, 60000, 2, rgb, 2),
    'too-small': enc(8, 8, 400, 0, rgb),
})

seeds('picture_view', dict(pictures, **{'icon.ico': m('icon.ico'), 'pcx.pcx': m('pcx.pcx'), 'short': b'\xff\xd8\xff'}))

seeds('filter_list', {
    'open': 'jpg| *.jpg'.encode(), 'save-picture': '图片|.*jpg'.encode(), 'save-image': '数据|*.bin'.encode(),
    'form': b'*.jpg', 'ends-twice': b'a|*.a||', 'alternatives': b'Pictures| *.jpg ; *.png;;|All|*  \r\n\t',
})

seeds('drop_text', {
    'one': b'\x00file:///tmp/fw.bin\r\n',
    'several': b'\x00file:///tmp/a%20b.bin\r\nfile://localhost/home/u/%E5%9B%BE.bin\r\n# comment\r\n',
    'hosts': b'\x01file://receiver-lab/x\nfile://elsewhere/y\nhttp://host/z\nfile:relative\nfile:///%00nul\n',
})

seeds('remove_directory_tree', {name: data for name, data in {
    'victim': b'\x00victim', 'kept': b'\x01victim', 'blanks-slashes': b'\x00   victim//',
    'absolute': b'\x00/top/mid/low/plain/', 'link': b'\x00victimlink', 'up-and-down': b'\x00../low/empty',
    'dot': b'\x00.', 'dot-dot': b'\x00victim/..', 'blank': b'\x00   ', 'file': b'\x00file.txt',
    'missing': b'\x00no/such/folder', 'through-link': b'\x00victim/linkdir/inner',
}.items()})

seeds('command_line', {
    'tool': b'/run/user/0/bootlume/eempge.exe\x00-p\x00-f\x00/my dir/2.JPG\x00-s\x001004',
    'empty': b'a\x00\x00b', 'quoted-line': b'"a b" c\t"d"""e',
})
EOF
