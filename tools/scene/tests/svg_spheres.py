"""Renders a structure to SVG with tessary-scene, parses the SVG as XML and
checks it holds one radially shaded shape per atom.

usage: svg_spheres.py PROGRAM STRUCTURE OUTPUT.svg ATOMS
"""
import subprocess
import sys
import xml.etree.ElementTree as ET

program, structure, output, atoms = sys.argv[1], sys.argv[2], sys.argv[3], int(sys.argv[4])
subprocess.run([program, "render", structure, "-o", output], check=True, stdout=subprocess.DEVNULL)
root = ET.parse(output).getroot()
if not root.tag.endswith("svg"):
    sys.exit(f"root element is {root.tag}, not svg")
shaded = [e for e in root.iter() if "url(#radial" in (e.get("style", "") + e.get("fill", ""))]
if len(shaded) != atoms:
    sys.exit(f"{len(shaded)} sphere shapes, expected {atoms}")
print(f"{output}: {len(shaded)} sphere shapes")
