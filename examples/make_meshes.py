#!/usr/bin/env python3
"""Writes the meshes of the README's run from meshes to a packed build volume into a folder:
bracket.obj (an L-shaped bracket, 40 x 30 x 20 mm), broken.obj (a box without its lid and, apart
from it, a small tetrahedron: open and in two shells) and torus.obj (100,000 triangles, outer
diameter 80 mm)."""
import math
import os
import sys

BRACKET = """v 0 0 0\nv 40 0 0\nv 40 10 0\nv 10 10 0\nv 10 30 0\nv 0 30 0
v 0 0 20\nv 40 0 20\nv 40 10 20\nv 10 10 20\nv 10 30 20\nv 0 30 20
f 6 5 4 3 2 1\nf 7 8 9 10 11 12
f 1 2 8 7\nf 2 3 9 8\nf 3 4 10 9\nf 4 5 11 10\nf 5 6 12 11\nf 6 1 7 12
"""

BROKEN = """v 0 0 0\nv 20 0 0\nv 20 20 0\nv 0 20 0\nv 0 0 20\nv 20 0 20\nv 20 20 20\nv 0 20 20
f 1 4 3 2\nf 1 2 6 5\nf 2 3 7 6\nf 3 4 8 7\nf 4 1 5 8
v 30 0 0\nv 35 0 0\nv 30 5 0\nv 30 0 5\nf 9 11 10\nf 9 10 12\nf 10 11 12\nf 9 12 11
"""


def torus(rings=250, sides=200, major=30.0, minor=10.0):
    lines = []
    for i in range(rings):
        u = 2 * math.pi * i / rings
        for j in range(sides):
            v = 2 * math.pi * j / sides
            r = major + minor * math.cos(v)
            lines.append("v %.9g %.9g %.9g" % (40 + r * math.cos(u), 40 + r * math.sin(u),
                                                minor + minor * math.sin(v)))
    for i in range(rings):
        for j in range(sides):
            a = i * sides + j + 1
            b = ((i + 1) % rings) * sides + j + 1
            c = ((i + 1) % rings) * sides + (j + 1) % sides + 1
            d = i * sides + (j + 1) % sides + 1
            lines.append("f %d %d %d" % (a, b, c))
            lines.append("f %d %d %d" % (a, c, d))
    return "\n".join(lines) + "\n"


def main():
    folder = sys.argv[1] if len(sys.argv) > 1 else "meshes"
    os.makedirs(folder, exist_ok=True)
    for name, text in (("bracket.obj", BRACKET), ("broken.obj", BROKEN), ("torus.obj", torus())):
        with open(os.path.join(folder, name), "w") as out:
            out.write(text)


if __name__ == "__main__":
    main()
