#!/usr/bin/env python3
"""Writes the bundled example projects: polyhedron files, a box container, a project file.

Run from anywhere: python3 examples/make_examples.py. The shapes are prisms over simple
polygons (convex and non-convex) and a pyramid; every face ring runs counter-clockwise as
seen from outside, so the normal from its first three corners points outward.
"""
import os

HERE = os.path.dirname(os.path.abspath(__file__))


def fmt(v):
    return repr(float(v)).removesuffix(".0") if float(v).is_integer() else repr(float(v))


def prism(polygon, height):
    """Prism over a counter-clockwise polygon from z = 0 to z = height."""
    n = len(polygon)
    vertices = [(x, y, 0.0) for x, y in polygon] + [(x, y, float(height)) for x, y in polygon]
    bottom = list(reversed(range(n)))
    top = list(range(n, 2 * n))
    sides = [[i, (i + 1) % n, n + (i + 1) % n, n + i] for i in range(n)]
    return vertices, [bottom, top] + sides


def pyramid(side, height):
    vertices = [(0, 0, 0), (side, 0, 0), (side, side, 0), (0, side, 0), (side / 2, side / 2, height)]
    faces = [[3, 2, 1, 0]] + [[i, (i + 1) % 4, 4] for i in range(4)]
    return [tuple(map(float, v)) for v in vertices], faces


def cross(a, b):
    return (a[1] * b[2] - a[2] * b[1], a[2] * b[0] - a[0] * b[2], a[0] * b[1] - a[1] * b[0])


def volume_and_centroid(vertices, faces):
    volume = 0.0
    cx = cy = cz = 0.0
    for ring in faces:
        p0 = vertices[ring[0]]
        for i in range(1, len(ring) - 1):
            p1, p2 = vertices[ring[i]], vertices[ring[i + 1]]
            v = sum(p0[k] * cross(p1, p2)[k] for k in range(3)) / 6.0
            volume += v
            cx += v * (p0[0] + p1[0] + p2[0]) / 4.0
            cy += v * (p0[1] + p1[1] + p2[1]) / 4.0
            cz += v * (p0[2] + p1[2] + p2[2]) / 4.0
    assert volume > 0, "face rings must run counter-clockwise as seen from outside"
    return volume, (cx / volume, cy / volume, cz / volume)


def write_polyhedron(path, name, vertices, faces, volume=None, reference=None):
    computed_volume, centroid = volume_and_centroid(vertices, faces)
    volume = computed_volume if volume is None else volume
    reference = centroid if reference is None else reference
    edges = []
    seen = set()
    for ring in faces:
        for i in range(len(ring)):
            a, b = ring[i], ring[(i + 1) % len(ring)]
            if (min(a, b), max(a, b)) not in seen:
                seen.add((min(a, b), max(a, b)))
                edges.append((a, b))
    lines = ["Polyhedron data file", "Name", name, "Volume", fmt(round(volume, 6)),
             "Reference point", ",".join(fmt(round(c, 6)) for c in reference), "Vertex list"]
    lines += [f"{i},{fmt(x)},{fmt(y)},{fmt(z)}" for i, (x, y, z) in enumerate(vertices)]
    lines += ["EndVertexList", "Edge list"]
    lines += [f"{i},{a},{b}" for i, (a, b) in enumerate(edges)]
    lines += ["EndEdgeList", "Face list"]
    lines += [f"{i},{len(r)}, " + ",".join(str(v) for v in r) for i, r in enumerate(faces)]
    lines += ["EndFaceList"]
    with open(path, "w", newline="\n") as f:
        f.write("\n".join(lines) + "\n")


def box(lx, ly, lz):
    return prism([(0, 0), (lx, 0), (lx, ly), (0, ly)], lz)


SHAPES = {
    "cuboid": prism([(0, 0), (12, 0), (12, 9), (0, 9)], 6),
    "block": prism([(0, 0), (8, 0), (8, 6), (0, 6)], 5),
    "lblock": prism([(0, 0), (10, 0), (10, 4), (4, 4), (4, 10), (0, 10)], 5),
    "tblock": prism([(0, 0), (12, 0), (12, 4), (8, 4), (8, 10), (4, 10), (4, 4), (0, 4)], 4),
    "ublock": prism([(0, 0), (10, 0), (10, 8), (7, 8), (7, 3), (3, 3), (3, 8), (0, 8)], 5),
    "wedge": prism([(0, 0), (10, 0), (0, 7)], 8),
    "hexprism": prism([(2, 0), (6, 0), (8, 3.5), (6, 7), (2, 7), (0, 3.5)], 6),
    "plus": prism([(3, 0), (6, 0), (6, 3), (9, 3), (9, 6), (6, 6), (6, 9), (3, 9), (3, 6),
                   (0, 6), (0, 3), (3, 3)], 4),
    "pyramid": pyramid(9, 7),
    # Larger shapes for the quick project, so that its few parts do not fit side by side.
    "slab": prism([(0, 0), (16, 0), (16, 12), (0, 12)], 8),
    "angle": prism([(0, 0), (16, 0), (16, 7), (7, 7), (7, 16), (0, 16)], 6),
    "ramp": prism([(0, 0), (16, 0), (0, 12)], 10),
    "hexcolumn": prism([(3, 0), (11, 0), (14, 6), (11, 12), (3, 12), (0, 6)], 9),
}

PROJECTS = {
    # A quick project: a few parts, 24 orientations.
    "quick": dict(pbsl=1, rn=2, parts=[("slab", 2), ("angle", 2), ("ramp", 2), ("hexcolumn", 1)]),
    # Twenty parts of eight shapes, convex and non-convex, 208 orientations.
    "twenty": dict(pbsl=1, rn=4, parts=[("block", 3), ("lblock", 3), ("tblock", 3), ("ublock", 2),
                                        ("wedge", 3), ("hexprism", 2), ("pyramid", 2), ("plus", 2)]),
}


def scaled(shape, factor):
    vertices, faces = shape
    return [tuple(factor * c for c in v) for v in vertices], faces


# The benchmark's projects at scale: ten part types (the twenty-part example's shapes, the
# cuboid and the hexagonal column, all twice as large) in equal numbers, PBSL 2, RN 3. The
# floor grows with the part count (about 116 square units per part) so that the packing
# height stays comparable; the container is high enough for every part.
SCALE_TYPES = ["cuboid", "block", "lblock", "tblock", "ublock", "wedge", "hexprism", "plus",
               "pyramid", "hexcolumn"]
SCALE_FLOORS = {50: 76, 100: 108, 200: 152, 400: 216}
SCALE_HEIGHT = 160


def write_project(folder, pbsl, rn, parts, container=(30, 31, 50), factor=1):
    os.makedirs(folder, exist_ok=True)
    lx, ly, lz = container
    cv, cf = box(lx, ly, lz)
    write_polyhedron(os.path.join(folder, "container.txt"), "Container", cv, cf,
                     volume=lx * ly * lz, reference=(0.0, 0.0, 0.0))
    lines = [f"PBSL={pbsl}", f"RN={rn}", "Container", '"container.txt"']
    for shape, copies in parts:
        vertices, faces = scaled(SHAPES[shape], factor)
        write_polyhedron(os.path.join(folder, shape + ".txt"), shape, vertices, faces)
        lines += ["Part", f'"{shape}.txt"', "Copies", str(copies), "----"]
    lines.append("#EndFile")
    with open(os.path.join(folder, "project.txt"), "w", newline="\n") as f:
        f.write("\n".join(lines) + "\n")


if __name__ == "__main__":
    for name, settings in PROJECTS.items():
        write_project(os.path.join(HERE, name), settings["pbsl"], settings["rn"], settings["parts"])
    for count, floor in SCALE_FLOORS.items():
        copies = count // len(SCALE_TYPES)
        write_project(os.path.join(HERE, "scale", str(count)), 2, 3,
                      [(shape, copies) for shape in SCALE_TYPES],
                      container=(floor, floor, SCALE_HEIGHT), factor=2)
    print("examples written")
