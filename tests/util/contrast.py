#!/usr/bin/env python3
"""How well an item stands out from the panel behind it: the WCAG contrast of each pixel that
changed between two screenshots (before and after the item came) against the same pixel before,
over a region WxH+X+Y. Prints the 90th percentile, the number of changed pixels and their
bounding box's centre as "x y" on the screen; nothing changed prints "0 0 - -".
    contrast.py BEFORE.png AFTER.png REGION"""
import re
import subprocess
import sys


def pixels(path, region):
    raw = subprocess.run(["convert", path, "-crop", region, "+repage", "-depth", "8", "rgb:-"],
                         check=True, capture_output=True).stdout
    return [raw[i:i + 3] for i in range(0, len(raw), 3)]


def luminance(rgb):
    def linear(c):
        c /= 255
        return c / 12.92 if c <= 0.04045 else ((c + 0.055) / 1.055) ** 2.4
    r, g, b = (linear(c) for c in rgb)
    return 0.2126 * r + 0.7152 * g + 0.0722 * b


def main():
    before, after, region = sys.argv[1:4]
    width, height, x0, y0 = map(int, re.match(r"(\d+)x(\d+)\+(\d+)\+(\d+)$", region).groups())
    ratios, xs, ys = [], [], []
    for i, (old, new) in enumerate(zip(pixels(before, region), pixels(after, region))):
        if max(abs(a - b) for a, b in zip(old, new)) <= 8:
            continue
        high, low = sorted((luminance(old), luminance(new)), reverse=True)
        ratios.append((high + 0.05) / (low + 0.05))
        xs.append(x0 + i % width)
        ys.append(y0 + i // width)
    if not ratios:
        print("0 0 - -")
        return
    ratios.sort()
    print(f"{ratios[int(0.9 * (len(ratios) - 1))]:.2f} {len(ratios)} "
          f"{(min(xs) + max(xs)) // 2} {(min(ys) + max(ys)) // 2}")


main()
