#!/usr/bin/env python3
# SPDX-License-Identifier: GPL-3.0-or-later
# Copyright (C) 2026 The Marulet developers
"""Draws the four piece cursors as 32 x 32 two-colour XPM pictures.

Black outline, white fill, the rest transparent; the hot spot is the top-left
pixel, so each picture starts near it. Run from the repository's root.
"""
import math

N = 32


def blank():
    return [[' '] * N for _ in range(N)]


def outline(grid):
    """Surrounds every white pixel with black where it meets transparency."""
    out = [row[:] for row in grid]
    for y in range(N):
        for x in range(N):
            if grid[y][x] != ' ':
                continue
            for dy in (-1, 0, 1):
                for dx in (-1, 0, 1):
                    yy, xx = y + dy, x + dx
                    if 0 <= yy < N and 0 <= xx < N and grid[yy][xx] == '.':
                        out[y][x] = '#'
    return out


def fill_poly(grid, pts, ch='.'):
    for y in range(N):
        for x in range(N):
            cx, cy = x + 0.5, y + 0.5
            inside = False
            j = len(pts) - 1
            for i in range(len(pts)):
                xi, yi = pts[i]
                xj, yj = pts[j]
                if (yi > cy) != (yj > cy) and cx < (xj - xi) * (cy - yi) / (yj - yi) + xi:
                    inside = not inside
                j = i
            if inside:
                grid[y][x] = ch


def disc(grid, cx, cy, r, ch='.'):
    for y in range(N):
        for x in range(N):
            if (x + 0.5 - cx) ** 2 + (y + 0.5 - cy) ** 2 <= r * r:
                grid[y][x] = ch


def ring(grid, cx, cy, r0, r1, a0, a1, ch):
    for y in range(N):
        for x in range(N):
            dx, dy = x + 0.5 - cx, y + 0.5 - cy
            d = math.hypot(dx, dy)
            a = math.degrees(math.atan2(dy, dx)) % 360
            if r0 <= d <= r1 and a0 <= a <= a1:
                grid[y][x] = ch


def rect(grid, x0, y0, x1, y1, ch='.'):
    for y in range(y0, y1):
        for x in range(x0, x1):
            grid[y][x] = ch


def pointer():
    g = blank()
    fill_poly(g, [(1, 1), (1, 19), (5.5, 15), (9, 22), (12, 21), (8.5, 14), (14, 14)])
    return outline(g)


def hand():
    g = blank()
    for x0, top in ((5, 4), (9, 2), (13, 3), (17, 5)):  # four fingers
        rect(g, x0, top, x0 + 3, 16)
    rect(g, 5, 12, 20, 24)  # palm
    fill_poly(g, [(20, 14), (24, 9), (26, 11), (21, 20)])  # thumb
    g = outline(g)
    for x0 in (8, 12, 16):  # gaps between the fingers
        for y in range(6, 14):
            if g[y][x0] == '.':
                g[y][x0] = '#'
    return g


def turn():
    g = blank()
    disc(g, 14, 16, 5)
    ring(g, 14, 16, 8, 10.5, 150, 330, '.')  # the turning arrow's shaft
    fill_poly(g, [(25.0, 9.6), (19.0, 13.2), (24.5, 15.5)])  # its head, turning clockwise
    return outline(g)


def zzz():
    g = blank()
    disc(g, 13, 13, 12)
    g = outline(g)
    z_shapes = [(6, 7, 4), (12, 11, 5), (7, 16, 3)]
    for x0, y0, s in z_shapes:
        for x in range(x0, x0 + s + 1):
            g[y0][x] = '#'
            g[y0 + s][x] = '#'
        for k in range(s + 1):
            g[y0 + s - k][x0 + k] = '#'
    return g


def xpm(name, grid):
    lines = [f'static const char *{name.lower()}[] = {{', f'"{N} {N} 3 1",',
             '"  c None",', '". c #FFFFFF",', '"# c #000000",']
    rows = [f'"{"".join(row)}"' for row in grid]
    lines += [r + ',' for r in rows[:-1]] + [rows[-1], '};']
    return '/* XPM */\n' + '\n'.join(lines) + '\n'


for name, grid in (('IDC_MOV_PIECE', hand()), ('IDC_ROT_PIECE', turn()),
                   ('IDC_CHG_PIECE', pointer()), ('IDC_ZZZ_PIECE', zzz())):
    with open(f'resources/cursors/{name}.xpm', 'w') as f:
        f.write(xpm(name, grid))
