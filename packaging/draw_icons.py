#!/usr/bin/env python3
"""Draws the program's pictures in the 16-colour palette and writes them as PNG.

The window icon shows a hand lifting a sheet out of a tray; the Connect button
shows two boxes joined by a cable, on silver, which the image list makes
transparent. Shapes are given on a 32-unit grid and rasterised at each size.
Run it again after changing a drawing; the PNGs are committed.
"""
import os
import struct
import sys
import zlib

PALETTE = {
    'k': (0, 0, 0), 'm': (128, 0, 0), 'G': (0, 128, 0), 'o': (128, 128, 0),
    'n': (0, 0, 128), 'p': (128, 0, 128), 't': (0, 128, 128), 's': (192, 192, 192),
    'g': (128, 128, 128), 'r': (255, 0, 0), 'l': (0, 255, 0), 'y': (255, 255, 0),
    'b': (0, 0, 255), 'f': (255, 0, 255), 'a': (0, 255, 255), 'w': (255, 255, 255),
}


def png(path, grid, transparent):
    h, w = len(grid), len(grid[0])
    raw = b''
    for row in grid:
        raw += b'\0'
        for c in row:
            if c is None:
                raw += bytes((0, 0, 0, 0)) if transparent else bytes((*PALETTE['s'], 255))
            else:
                raw += bytes((*PALETTE[c], 255))

    def chunk(kind, data):
        body = kind + data
        return struct.pack('>I', len(data)) + body + struct.pack('>I', zlib.crc32(body))

    with open(path, 'wb') as f:
        f.write(b'\x89PNG\r\n\x1a\n')
        f.write(chunk(b'IHDR', struct.pack('>IIBBBBB', w, h, 8, 6, 0, 0, 0)))
        f.write(chunk(b'IDAT', zlib.compress(raw, 9)))
        f.write(chunk(b'IEND', b''))


class Canvas:
    def __init__(self, size):
        self.size = size
        self.grid = [[None] * size for _ in range(size)]
        self.svg = []

    def _colour(self, c):
        return '#%02x%02x%02x' % PALETTE[c]

    def _px(self, v):
        return int(round(v * self.size / 32.0))

    def rect(self, x0, y0, x1, y1, fill, outline=None):
        """Fills [x0, x1) x [y0, y1) in 32-unit coordinates."""
        stroke = ' stroke="%s" stroke-width="1"' % self._colour(outline) if outline else ''
        inset = 0.5 if outline else 0
        self.svg.append('<rect x="%g" y="%g" width="%g" height="%g" fill="%s"%s/>'
                        % (x0 + inset, y0 + inset, x1 - x0 - 2 * inset, y1 - y0 - 2 * inset, self._colour(fill), stroke))
        a, b, c, d = self._px(x0), self._px(y0), self._px(x1), self._px(y1)
        for y in range(max(b, 0), min(d, self.size)):
            for x in range(max(a, 0), min(c, self.size)):
                edge = outline and (x in (a, c - 1) or y in (b, d - 1))
                self.grid[y][x] = outline if edge else fill

    def poly(self, points, fill):
        self.svg.append('<polygon points="%s" fill="%s"/>'
                        % (' '.join('%g,%g' % p for p in points), self._colour(fill)))
        for y in range(self.size):
            for x in range(self.size):
                cx, cy = (x + 0.5) * 32.0 / self.size, (y + 0.5) * 32.0 / self.size
                inside = False
                j = len(points) - 1
                for i, (xi, yi) in enumerate(points):
                    xj, yj = points[j]
                    if (yi > cy) != (yj > cy) and cx < (xj - xi) * (cy - yi) / (yj - yi) + xi:
                        inside = not inside
                    j = i
                if inside:
                    self.grid[y][x] = fill


def window_icon(size):
    c = Canvas(size)
    window_icon_on(c)
    return c.grid


def window_icon_on(c):
    # Back of the tray.
    c.poly([(4, 20), (28, 20), (26, 17), (6, 17)], 'g')
    # The sheet, half out of the tray, with lines of text.
    c.rect(9, 6, 23, 26, 'w', 'k')
    for y in (10, 13, 16, 19):
        c.rect(11, y, 21, y + 1, 'n')
    # The hand holding the sheet's top edge: palm above, fingers over the edge.
    c.rect(12, 1, 22, 6, 'y', 'm')
    for x in (12.5, 15, 17.5, 20):
        c.rect(x, 5, x + 2, 9, 'y', 'm')
    c.rect(8, 2, 12.5, 5, 'y', 'm')  # thumb
    c.rect(20, 0, 26, 4, 'b', 'n')    # sleeve
    # Front of the tray covers the rest of the sheet.
    c.poly([(2, 21), (30, 21), (28, 30), (4, 30)], 'o')
    c.rect(2, 21, 30, 22.5, 's')
    c.rect(4, 29, 28, 30.5, 'k')


def connect_picture():
    c = Canvas(16)
    box = lambda x, y: (c.rect(x, y, x + 14, y + 12, 'w', 'k'), c.rect(x + 3, y + 3, x + 11, y + 8, 'b'))
    box(1, 2)
    box(17, 18)
    c.rect(6, 14, 10, 20, 'k')    # cable down from the first box
    c.rect(6, 20, 22, 22, 'k')    # across
    c.rect(20, 14, 22, 18, 's')
    return c.grid


def main():
    out = os.path.join(os.path.dirname(os.path.abspath(__file__)), 'icons')
    os.makedirs(out, exist_ok=True)
    for size in (16, 32, 48):
        png(os.path.join(out, 'vellumin-%d.png' % size), window_icon(size), True)
    canvas = Canvas(32)
    window_icon_on(canvas)
    with open(os.path.join(out, 'vellumin.svg'), 'w') as f:
        f.write('<svg xmlns="http://www.w3.org/2000/svg" width="32" height="32" viewBox="0 0 32 32" '
                'shape-rendering="crispEdges">\n')
        f.write('\n'.join(canvas.svg))
        f.write('\n</svg>\n')
    # Silver stays opaque here: the image list turns its mask colour transparent.
    png(os.path.join(out, 'connect.png'), connect_picture(), False)
    return 0


if __name__ == '__main__':
    sys.exit(main())
