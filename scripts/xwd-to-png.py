#!/usr/bin/env python3
# Turns an Xvfb frame buffer (XWD, 32 bits per pixel, as "Xvfb -fbdir DIR" keeps it) into a PNG,
# optionally cut to X,Y,WIDTH,HEIGHT:  xwd-to-png.py DIR/Xvfb_screen0 out.png [X,Y,W,H]
import struct, zlib, sys
data = open(sys.argv[1], 'rb').read()
h = struct.unpack('>25I', data[:100])
header_size, version, fmt, depth, width, height = h[0], h[1], h[2], h[3], h[4], h[5]
byte_order, bpp, bytes_per_line, ncolors = h[7], h[11], h[12], h[19]
off = header_size + ncolors * 12
crop = [int(v) for v in sys.argv[3].split(',')] if len(sys.argv) > 3 else [0, 0, width, height]
x0, y0, w, hgt = crop
rows = []
for y in range(y0, y0 + hgt):
    line = data[off + y * bytes_per_line: off + (y + 1) * bytes_per_line]
    row = bytearray([0])
    for x in range(x0, x0 + w):
        px = line[x * 4: x * 4 + 4]
        v = int.from_bytes(px, 'little' if byte_order == 0 else 'big')
        row += bytes([(v >> 16) & 255, (v >> 8) & 255, v & 255])
    rows.append(bytes(row))
def chunk(t, d):
    c = t + d
    return struct.pack('>I', len(d)) + c + struct.pack('>I', zlib.crc32(c) & 0xffffffff)
png = b'\x89PNG\r\n\x1a\n' + chunk(b'IHDR', struct.pack('>IIBBBBB', w, hgt, 8, 2, 0, 0, 0)) + chunk(b'IDAT', zlib.compress(b''.join(rows), 9)) + chunk(b'IEND', b'')
open(sys.argv[2], 'wb').write(png)

