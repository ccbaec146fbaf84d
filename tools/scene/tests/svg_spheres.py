"""Renders a structure to SVG with tessary-scene, parses the SVG as XML and
checks it holds one sphere per atom, and each ball's gradient only once per
colour.

A sphere is a <use> of a stamp (a group in <defs>) that holds a radial
gradient fill; a stamp holding a linear one is a bond's band. See Render.h.

usage: svg_spheres.py PROGRAM STRUCTURE OUTPUT.svg ATOMS
"""
import subprocess
import sys
import xml.etree.ElementTree as ET

XLINK = "{http://www.w3.org/1999/xlink}href"

program, structure, output, atoms = sys.argv[1], sys.argv[2], sys.argv[3], int(sys.argv[4])
subprocess.run([program, "render", structure, "-o", output], check=True, stdout=subprocess.DEVNULL)
root = ET.parse(output).getroot()
if not root.tag.endswith("svg"):
    sys.exit(f"root element is {root.tag}, not svg")


def radial(e):
    return "url(#radial" in (e.get("style", "") + e.get("fill", ""))


ids = {e.get("id"): e for e in root.iter() if e.get("id")}
uses = [e for e in root.iter() if e.tag.endswith("use")]
stamps = {u.get(XLINK, "")[1:] for u in uses} & {k for k, e in ids.items() if e.tag.endswith("}g")}
balls = {s for s in stamps if any(radial(e) for e in ids[s].iter())}
spheres = [u for u in uses if u.get(XLINK, "")[1:] in balls]
if len(spheres) != atoms:
    sys.exit(f"{len(spheres)} sphere shapes, expected {atoms}")
# Each ball stamp is one colour, defined once: as many radial gradients as ball stamps.
gradients = [e for e in root.iter() if e.tag.endswith("radialGradient")]
if len(gradients) != len(balls):
    sys.exit(f"{len(gradients)} radial gradients for {len(balls)} ball stamps")
print(f"{output}: {len(spheres)} sphere shapes, {len(balls)} ball stamps")
