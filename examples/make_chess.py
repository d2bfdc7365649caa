#!/usr/bin/env python3
"""Writes chess pieces as triangle meshes (OBJ, millimetres), as a CAD program exports them:
solids of revolution, each profile turned in 32 steps.

  make_chess.py FOLDER            the six pieces, 1,024 to 1,920 triangles each
  make_chess.py FOLDER --faces N  one queen of about N triangles (queen-N.obj), for measuring
                                  how placement time grows with the face count

`make bench` imports them with tessera-import into a 32-piece project (PBSL 1, RN 2).
"""
import math
import os
import sys

# Profiles as (radius, height) from the bottom centre to the top centre, in millimetres.
PIECES = {
    "pawn": (18, [(0, 0), (15, 0), (15, 3), (13, 5), (13, 7), (9, 10), (6, 22), (5.5, 30),
                  (9, 32), (9, 34), (5, 36), (7.5, 40), (8, 43), (7, 47), (4, 49.5), (0, 50)]),
    "rook": (22, [(0, 0), (17, 0), (17, 4), (15, 6), (15, 8), (11, 12), (9.5, 40), (12, 44),
                  (12, 55), (9, 55), (9, 51), (0, 51)]),
    "knight": (24, [(0, 0), (17, 0), (17, 4), (15, 6), (15, 8), (11, 12), (8, 30), (12, 40),
                    (13, 48), (10, 55), (6, 58), (0, 60)]),
    "bishop": (26, [(0, 0), (17, 0), (17, 4), (15, 6), (15, 8), (11, 12), (7, 40), (11, 44),
                    (11, 46), (6, 48), (9, 55), (9, 60), (6, 65), (3, 68), (4, 69), (0, 70)]),
    "queen": (28, [(0, 0), (19, 0), (19, 4), (17, 6), (17, 8), (12, 14), (7, 50), (13, 56),
                   (13, 58), (8, 60), (11, 72), (13, 78), (7, 80), (4, 82), (5, 84), (0, 85)]),
    "king": (32, [(0, 0), (20, 0), (20, 4), (18, 6), (18, 8), (13, 14), (8, 55), (14, 61),
                  (14, 63), (9, 65), (12, 78), (13, 82), (5, 84), (3, 86), (3, 90), (5, 91),
                  (5, 93), (0, 95)]),
}
STEPS = 32  # around the axis
COPIES = {"pawn": 16, "rook": 4, "knight": 4, "bishop": 4, "queen": 2, "king": 2}


def refine(profile, points):
    """The profile with its longest segments halved until it has `points` points."""
    profile = [tuple(map(float, p)) for p in profile]
    while len(profile) < points:
        longest = max(range(len(profile) - 1),
                      key=lambda i: math.dist(profile[i], profile[i + 1]))
        a, b = profile[longest], profile[longest + 1]
        profile.insert(longest + 1, ((a[0] + b[0]) / 2, (a[1] + b[1]) / 2))
    return profile


def turned(profile, steps):
    """Vertices and outward triangles of the profile turned about z; 2 * steps * (points - 2)
    triangles."""
    vertices = [(0.0, 0.0, profile[0][1])]
    rings = []
    for r, z in profile[1:-1]:
        ring = []
        for j in range(steps):
            a = 2 * math.pi * j / steps
            ring.append(len(vertices))
            vertices.append((r * math.cos(a), r * math.sin(a), z))
        rings.append(ring)
    top = len(vertices)
    vertices.append((0.0, 0.0, profile[-1][1]))
    faces = []
    for j in range(steps):
        k = (j + 1) % steps
        faces.append((0, rings[0][k], rings[0][j]))
        for lower, upper in zip(rings, rings[1:]):
            faces.append((lower[j], lower[k], upper[k]))
            faces.append((lower[j], upper[k], upper[j]))
        faces.append((rings[-1][j], rings[-1][k], top))
    return vertices, faces


def write_obj(path, vertices, faces):
    with open(path, "w", newline="\n") as out:
        out.write("".join("v %.9g %.9g %.9g\n" % v for v in vertices))
        out.write("".join("f %d %d %d\n" % (a + 1, b + 1, c + 1) for a, b, c in faces))


def main():
    args = sys.argv[1:]
    if not args or args[0].startswith("-"):
        sys.exit(__doc__)
    folder = args[0]
    os.makedirs(folder, exist_ok=True)
    if len(args) == 3 and args[1] == "--faces":
        # 2 * steps * (points - 2) triangles with about as many steps as profile points.
        wanted = int(args[2])
        steps = max(8, round(math.sqrt(wanted / 2)))
        points = max(len(PIECES["queen"][1]), round(wanted / (2 * steps)) + 2)
        vertices, faces = turned(refine(PIECES["queen"][1], points), steps)
        write_obj(os.path.join(folder, "queen-%d.obj" % wanted), vertices, faces)
        return
    if len(args) != 1:
        sys.exit(__doc__)
    for name, (points, profile) in PIECES.items():
        write_obj(os.path.join(folder, name + ".obj"), *turned(refine(profile, points), STEPS))


if __name__ == "__main__":
    main()
