"""Ideal coordination polyhedra and the deviation of observed ligands from them."""

import enum
from typing import Any, Tuple

import numpy as np
import numpy.typing as npt

class Geometry(enum.IntEnum):
    NoCoordinationGeometry = 0
    Linear = 1
    Angular = 2
    AngularTrigonalPlanar = 3
    AngularSquarePlanar = 4
    TrigonalPlanar = 5
    TrigonalPyramidal = 6
    TrigonalPyramidalTrigonalBipyramidal = 7
    TrigonalPyramidalOctahedral = 8
    TShaped = 9
    Tetrahedral = 10
    SquarePlanar = 11
    SquarePyramidal = 12
    TrigonalPlanarPyramidal = 13
    SeeSaw = 14
    SeeSawTrigonalBipyramidal = 15
    TrigonalBipyramidal = 16
    SquarePlanarPyramidal = 17
    Octahedral = 18
    TrigonalPrismatic = 19
    TrigonalAntiprismatic = 20
    TrigonalAntiprismaticStretched = 21
    PentagonalPlanarPyramidal = 22
    PentagonalBipyramidal = 23
    OctahedralFaceMonocapped = 24
    TrigonalPrismaticSquareFaceMonocapped = 25
    Cubic = 26
    SquareAntiprismatic = 27
    Dodecahedral = 28
    HexagonalBipyramidal = 29
    HeptagonalBipyramidal = 30

def from_name(name: str) -> Geometry: ...
def coordination_number(geometry: Geometry) -> int: ...
def reference_coordinates(geometry: Geometry) -> npt.NDArray[np.float32]: ...
def angle(geometry: Geometry, i: int, j: int) -> float: ...
def deviation(directions: npt.ArrayLike, geometry: Geometry) -> Tuple[float, npt.NDArray[np.int32]]: ...
def rank(directions: npt.ArrayLike) -> list[Tuple[Geometry, float]]: ...
