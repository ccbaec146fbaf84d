"""Ideal coordination polyhedra and the deviation of observed ligands from them."""

from typing import Any, Tuple

import numpy as np
import numpy.typing as npt

class Geometry:
    """The coordination geometry types; int(g) is the fixed number."""
    __members__: dict[str, Geometry]
    def __init__(self, value: int) -> None: ...
    def __int__(self) -> int: ...
    def __index__(self) -> int: ...
    @property
    def name(self) -> str: ...
    @property
    def value(self) -> int: ...
    NoCoordinationGeometry: Geometry
    Linear: Geometry
    Angular: Geometry
    AngularTrigonalPlanar: Geometry
    AngularSquarePlanar: Geometry
    TrigonalPlanar: Geometry
    TrigonalPyramidal: Geometry
    TrigonalPyramidalTrigonalBipyramidal: Geometry
    TrigonalPyramidalOctahedral: Geometry
    TShaped: Geometry
    Tetrahedral: Geometry
    SquarePlanar: Geometry
    SquarePyramidal: Geometry
    TrigonalPlanarPyramidal: Geometry
    SeeSaw: Geometry
    SeeSawTrigonalBipyramidal: Geometry
    TrigonalBipyramidal: Geometry
    SquarePlanarPyramidal: Geometry
    Octahedral: Geometry
    TrigonalPrismatic: Geometry
    TrigonalAntiprismatic: Geometry
    TrigonalAntiprismaticStretched: Geometry
    PentagonalPlanarPyramidal: Geometry
    PentagonalBipyramidal: Geometry
    OctahedralFaceMonocapped: Geometry
    TrigonalPrismaticSquareFaceMonocapped: Geometry
    Cubic: Geometry
    SquareAntiprismatic: Geometry
    Dodecahedral: Geometry
    HexagonalBipyramidal: Geometry
    HeptagonalBipyramidal: Geometry

def from_name(name: str) -> Geometry: ...
def coordination_number(geometry: Geometry) -> int: ...
def reference_coordinates(geometry: Geometry) -> npt.NDArray[np.float32]: ...
def angle(geometry: Geometry, i: int, j: int) -> float: ...
def deviation(directions: npt.ArrayLike, geometry: Geometry) -> Tuple[float, npt.NDArray[np.int32]]: ...
def rank(directions: npt.ArrayLike) -> list[Tuple[Geometry, float]]: ...
