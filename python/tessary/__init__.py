"""Tessary for Python: the library's geometry, neighbour search, superposition,
coordination geometry, colour ramps, name filters and display lists, on NumPy
arrays.

Point arrays are (n, 3) float32 (float64 accepted); colours are (n, 4) uint8
(R, G, B, A with A the transparency, 0 = opaque); IDs and indices are
integer arrays. Geometric input must be finite (ValueError otherwise).
Objects may be shared between threads: each call sees an object before or
after any other call.
"""

import sys as _sys

from ._tessary import (
    ArchiveError,
    ColorMap,
    ColorMapParameters,
    DisplayList,
    Matrix4x4,
    NeighborList,
    Point3d,
    RegExpression,
    coordination,
    neighbor_pairs,
    ramp,
    ramp_names,
    rms_best_fit,
    superpose,
)

# `import tessary.coordination` works as well as the attribute.
_sys.modules[__name__ + ".coordination"] = coordination

__all__ = [
    "ArchiveError",
    "ColorMap",
    "ColorMapParameters",
    "DisplayList",
    "Matrix4x4",
    "NeighborList",
    "Point3d",
    "RegExpression",
    "coordination",
    "neighbor_pairs",
    "ramp",
    "ramp_names",
    "rms_best_fit",
    "superpose",
]
