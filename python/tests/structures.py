"""A tiny fixed-column reader of PDB ATOM/HETATM records for the tests."""

from pathlib import Path

import numpy as np

MOLECULES = Path(__file__).resolve().parents[2] / "data" / "molecules"


def _element(record, name, line):
    element = line[76:78].strip()
    if element.isalpha():
        return element.capitalize()
    letters = name.lstrip("0123456789")
    # A HETATM name starting in column 13 is a two-letter element (ZN, FE).
    if record == "HETATM" and line[12] != " " and len(letters) >= 2:
        return letters[:2].capitalize()
    return letters[:1]


def read_models(file_name):
    """Every model of a PDB file as a dict of arrays: name, resname, chain,
    resseq, element and xyz (n, 3) float64; alternate locations other than
    blank and 'A' are skipped."""
    models, atoms = [], []

    def close():
        if atoms:
            columns = list(zip(*atoms))
            models.append(
                {
                    "name": np.array(columns[0]),
                    "resname": np.array(columns[1]),
                    "chain": np.array(columns[2]),
                    "resseq": np.array(columns[3], dtype=np.int64),
                    "element": np.array(columns[4]),
                    "xyz": np.array(columns[5], dtype=np.float64),
                }
            )
            atoms.clear()

    with open(MOLECULES / file_name) as f:
        for line in f:
            record = line[:6].strip()
            if record == "ENDMDL":
                close()
            if record not in ("ATOM", "HETATM") or line[16] not in " A":
                continue
            name = line[12:16].strip()
            xyz = (float(line[30:38]), float(line[38:46]), float(line[46:54]))
            atoms.append((name, line[17:20].strip(), line[21], int(line[22:26]), _element(record, name, line), xyz))
    close()
    return models


def read_pdb(file_name):
    """The first model."""
    return read_models(file_name)[0]
