"""Every class at every pickle protocol: a round trip or a clean TypeError,
never an abort (protocols 0 and 1 used to kill the interpreter)."""

import inspect
import pickle

import numpy as np
import pytest

import tessary
from tessary import _tessary, coordination


def display_list():
    d = tessary.DisplayList()
    d.add_spheres([[1, 2, 3], [4, 5, 6]], [1.0, 2.0], [[10, 20, 30, 0], [1, 2, 3, 128]], [7, 8])
    d.add_child(tessary.DisplayList())
    d.child(0).local_transformation = tessary.Matrix4x4.from_rotation("y", 30.0)
    return d


def matrix():
    m = tessary.Matrix4x4.from_rotation([1, 2, 3], 40.0)
    m.translation = (5, -3, 12)
    return m


# A sample of each class that pickles, and what must survive the trip.
PICKLED = {
    "Point3d": (lambda: tessary.Point3d(1.5, -2, 3e-3), lambda p: (p.x, p.y, p.z)),
    "Matrix4x4": (matrix, lambda m: np.asarray(m).tolist()),
    "DisplayList": (display_list, lambda d: (d.to_bytes(), d.child(0).num_children)),
    "Geometry": (lambda: coordination.Geometry.Octahedral, int),
}
# A sample of each class that does not.
NOT_PICKLED = {
    "NeighborList": lambda: tessary.NeighborList(2.0, np.zeros((3, 3))),
    "ColorMap": lambda: tessary.ColorMap("Red-Blue", 0, 1),
    "ColorMapParameters": lambda: tessary.ColorMapParameters(),
    "RegExpression": lambda: tessary.RegExpression("C[AB]"),
}
PROTOCOLS = range(pickle.HIGHEST_PROTOCOL + 1)


def test_every_class_is_listed():
    classes = {n for n, v in inspect.getmembers(_tessary, inspect.isclass) if n != "ArchiveError"}
    classes |= {n for n, v in inspect.getmembers(coordination, inspect.isclass)}
    assert classes == set(PICKLED) | set(NOT_PICKLED)


@pytest.mark.parametrize("protocol", PROTOCOLS)
@pytest.mark.parametrize("name", PICKLED)
def test_round_trip(name, protocol):
    make, state = PICKLED[name]
    original = make()
    copy = pickle.loads(pickle.dumps(original, protocol))
    assert type(copy) is type(original)
    assert state(copy) == state(original)


@pytest.mark.parametrize("protocol", PROTOCOLS)
@pytest.mark.parametrize("name", NOT_PICKLED)
def test_refused_alike_at_every_protocol(name, protocol):
    with pytest.raises(TypeError, match="pickle"):
        pickle.dumps(NOT_PICKLED[name](), protocol)
