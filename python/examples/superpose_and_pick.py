"""Neighbour search, superposition and a pick with the tessary module.

    python3 python/examples/superpose_and_pick.py [data/molecules]

Reads the NMR ensemble of ubiquitin (1D3Z), finds its bonds, superposes every
model's C-alpha atoms onto the first model, and picks the atom nearest to a
point from the pick dots of a sphere scene.
"""

import sys
from pathlib import Path

import numpy as np

import tessary


def read_models(path):
    """ATOM records per model: atom names and (n, 3) float32 coordinates."""
    models, names, xyz = [], [], []
    for line in open(path):
        if line.startswith("ATOM"):
            names.append(line[12:16].strip())
            xyz.append((float(line[30:38]), float(line[38:46]), float(line[46:54])))
        elif line.startswith("ENDMDL") and xyz:
            models.append((np.array(names), np.array(xyz, np.float32)))
            names, xyz = [], []
    if xyz:
        models.append((np.array(names), np.array(xyz, np.float32)))
    return models


def main():
    folder = Path(sys.argv[1]) if len(sys.argv) > 1 else Path(__file__).resolve().parents[2] / "data" / "molecules"
    models = read_models(folder / "1d3z.pdb")
    names, first = models[0]

    # Bonds: pairs closer than 1.7 A, as two index arrays.
    i, j = tessary.neighbor_pairs(first, 1.7)
    print(f"{len(models)} models of {len(first)} atoms; {len(i)} pairs closer than 1.7 A in model 1")

    # Superpose each model's C-alpha atoms onto model 1's and move the whole model with them.
    ca = tessary.RegExpression("CA").filter(names)
    for k, (_, xyz) in enumerate(models[1:], start=2):
        moved, matrix, rmsd = tessary.superpose(xyz[ca], first[ca], xyz)
        print(f"model {k:2d}: C-alpha RMSD {rmsd:.3f} A, all-atom RMSD {np.sqrt(((moved - first) ** 2).sum(1).mean()):.3f} A")

    # A pick: spheres with atom numbers as IDs; the dot nearest to a point names the atom.
    scene = tessary.DisplayList()
    colors = tessary.ColorMapParameters("Rainbow 1", False, 0, len(first) - 1).colors(np.arange(len(first)))
    scene.add_spheres(first, 1.2, colors, np.arange(1, len(first) + 1))
    positions, ids = scene.pick_dots()
    click = first[100] + np.float32(0.3)
    atom = ids[np.argmin(((positions - click) ** 2).sum(1))] - 1
    print(f"picked atom {atom + 1} ({names[atom]}) near {np.round(click, 2).tolist()}")
    return 0 if atom == 100 else 1


if __name__ == "__main__":
    sys.exit(main())
