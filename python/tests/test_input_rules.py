"""The module's rules for what it is given: finite numbers for geometry,
directions that are not zero, TypeError for a wrong type, any buffer for bytes,
signatures that say what each argument takes."""

import inspect
import re

import numpy as np
import pytest

import tessary
from tessary import _tessary, coordination

POINTS = np.arange(12, dtype=np.float32).reshape(4, 3)
NAN_POINTS = POINTS.copy()
NAN_POINTS[2, 1] = np.nan
INF_POINTS = POINTS.astype(np.float64)
INF_POINTS[1, 0] = np.inf
HUGE_POINTS = POINTS.astype(np.float64)
HUGE_POINTS[3, 2] = 1e39  # finite in float64, not in float32
RGB = [1, 2, 3]


def scene():
    return tessary.DisplayList()


def octahedron():
    return coordination.reference_coordinates(coordination.Geometry.Octahedral)[1:]


# One rule everywhere: a NaN or infinity in geometric input raises ValueError.
NON_FINITE = {
    "neighbor_pairs NaN": lambda: tessary.neighbor_pairs(NAN_POINTS, 2.0),
    "neighbor_pairs float32 overflow": lambda: tessary.neighbor_pairs(HUGE_POINTS, 2.0),
    "neighbor_pairs cutoff NaN": lambda: tessary.neighbor_pairs(POINTS, np.nan),
    "NeighborList cutoff inf": lambda: tessary.NeighborList(np.inf),
    "NeighborList cutoff negative": lambda: tessary.NeighborList(-2.0),
    "NeighborList points inf": lambda: tessary.NeighborList(2.0, INF_POINTS),
    "NeighborList.add NaN": lambda: tessary.NeighborList(2.0).add(NAN_POINTS),
    "neighbors point NaN": lambda: tessary.NeighborList(2.0, POINTS).neighbors([np.nan, 0, 0]),
    "neighbors Point3d NaN": lambda: tessary.NeighborList(2.0, POINTS).neighbors(tessary.Point3d(0, np.nan, 0)),
    "neighbors_of NaN": lambda: tessary.NeighborList(2.0, POINTS).neighbors_of(NAN_POINTS),
    "superpose NaN": lambda: tessary.superpose(NAN_POINTS, POINTS),
    "superpose c inf": lambda: tessary.superpose(POINTS, POINTS, INF_POINTS),
    "rms_best_fit NaN": lambda: tessary.rms_best_fit(POINTS, NAN_POINTS),
    "transform NaN": lambda: tessary.Matrix4x4().transform(NAN_POINTS),
    "Matrix4x4 NaN": lambda: tessary.Matrix4x4(np.full((4, 4), np.nan)),
    "rotation degrees NaN": lambda: tessary.Matrix4x4.from_rotation("x", np.nan),
    "rotation axis inf": lambda: tessary.Matrix4x4.from_rotation([np.inf, 0, 0], 30),
    "rotation centre NaN": lambda: tessary.Matrix4x4.from_rotation([1, 0, 0], 30, (0, np.nan, 0)),
    "translation NaN": lambda: tessary.Matrix4x4.from_translation((np.nan, 0, 0)),
    "deviation NaN": lambda: coordination.deviation(np.where(octahedron() > 0.5, np.nan, octahedron()),
                                                    coordination.Geometry.Octahedral),
    "add_spheres centre NaN": lambda: scene().add_spheres(NAN_POINTS, 1.0, RGB),
    "add_spheres radius NaN": lambda: scene().add_spheres(POINTS, np.nan, RGB),
    "add_spheres radius negative": lambda: scene().add_spheres(POINTS, [1, 1, -1, 1], RGB),
    "add_cylinders radius inf": lambda: scene().add_cylinders(POINTS, POINTS + 1, np.inf, RGB),
    "add_cylinders radius negative": lambda: scene().add_cylinders(POINTS, POINTS + 1, -0.5, RGB),
    "add_mesh normal NaN": lambda: scene().add_mesh(POINTS, NAN_POINTS, RGB, [[0, 1, 2]]),
    "clip plane point inf": lambda: scene().set_clip_plane(0, (np.inf, 0, 0), (1, 0, 0)),
    "ColorMap range NaN": lambda: tessary.ColorMap("Red-Blue", np.nan, 1),
    "ColorMapParameters maximum inf": lambda: tessary.ColorMapParameters(maximum=np.inf),
}


@pytest.mark.parametrize("call", NON_FINITE.values(), ids=NON_FINITE.keys())
def test_non_finite_geometry_raises_value_error(call):
    with pytest.raises(ValueError):
        call()


def test_non_finite_points_leave_the_list_unchanged():
    nl = tessary.NeighborList(2.0, POINTS)
    with pytest.raises(ValueError, match="point 2"):
        nl.add(NAN_POINTS)
    assert len(nl) == 4
    s = scene()
    with pytest.raises(ValueError):
        s.add_spheres(POINTS, [1, 1, np.nan, 1], RGB)
    assert s.num_spheres == 0


def test_colour_map_values_may_be_nan():
    # Values to colour are data, not geometry: NaN is a missing value.
    colors = tessary.ColorMapParameters(clip=True).colors(np.array([np.nan, 0.5]))
    np.testing.assert_array_equal(colors[0], [0, 0, 0, 0])
    assert tessary.ColorMap("Red-Blue", 0, 1).colors(np.array([np.nan])).shape == (1, 4)


ZERO_DIRECTIONS = {
    "rotation about a zero axis": lambda: tessary.Matrix4x4.from_rotation([0, 0, 0], 30),
    "rotation about a zero axis through a centre": lambda: tessary.Matrix4x4.from_rotation((0, 0, 0), 30, (1, 1, 1)),
    "turn from a zero vector": lambda: tessary.Matrix4x4.from_to((0, 0, 0), (1, 0, 0)),
    "turn onto a zero vector": lambda: tessary.Matrix4x4.from_to((1, 0, 0), tessary.Point3d()),
    "clip plane with a zero normal": lambda: scene().set_clip_plane(0, (0, 0, 0), (0, 0, 0)),
}


@pytest.mark.parametrize("call", ZERO_DIRECTIONS.values(), ids=ZERO_DIRECTIONS.keys())
def test_zero_directions_raise_value_error(call):
    # A zero axis used to give a scaling by cos(angle), not a rotation.
    with pytest.raises(ValueError, match="zero vector"):
        call()


@pytest.mark.parametrize("scale", [1e-30, 1.0, 1e20, 1e30])
def test_superposition_at_any_scale_float32_holds(scale):
    rng = np.random.default_rng(7)
    a = rng.random((12, 3)) * 2 - 1
    motion = tessary.Matrix4x4.from_rotation([1, 2, 3], 40.0)
    b = (motion.transform(a).astype(np.float64) + [0.5, -0.25, 2]) * scale
    a = a * scale
    moved, matrix, rmsd = tessary.superpose(a, b)
    np.testing.assert_allclose(np.asarray(matrix)[:3, :3], np.asarray(motion)[:3, :3], atol=1e-4)
    np.testing.assert_allclose(np.asarray(matrix)[3, :3], np.array([0.5, -0.25, 2]) * scale, atol=1e-4 * scale)
    assert rmsd < 1e-5 * scale
    np.testing.assert_allclose(moved, b, atol=1e-5 * scale)


def test_superposition_that_overflows_float32_raises():
    a = np.random.default_rng(8).random((6, 3)) * 3e38
    with pytest.raises(ValueError, match="superposition failed"):
        tessary.superpose(a, a[::-1].copy())


WRONG_TYPES = {
    "radius as text": lambda: tessary.NeighborList(2.0, POINTS).neighbors(POINTS[0], "far"),
    "count as text": lambda: tessary.ColorMapParameters(count="many"),
    "cutoff as text": lambda: tessary.neighbor_pairs(POINTS, "2"),
    "child not a list": lambda: scene().add_child(5),
    "bytes as text": lambda: tessary.DisplayList.from_bytes("abc"),
    "transformation not a matrix": lambda: setattr(scene(), "local_transformation", np.eye(4)),
}


@pytest.mark.parametrize("call", WRONG_TYPES.values(), ids=WRONG_TYPES.keys())
def test_wrong_argument_types_raise_type_error(call):
    with pytest.raises(TypeError):
        call()


@pytest.mark.parametrize("wrap", [bytes, bytearray, memoryview, lambda b: np.frombuffer(b, np.uint8)])
def test_from_bytes_takes_any_buffer(wrap):
    s = scene()
    s.add_spheres(POINTS, 1.5, RGB, [1, 2, 3, 4])
    data = s.to_bytes()
    assert tessary.DisplayList.from_bytes(wrap(data)).to_bytes() == data


def test_from_bytes_reads_a_strided_buffer_as_its_bytes():
    data = scene().to_bytes()
    doubled = bytes(b for c in data for b in (c, 0))
    assert tessary.DisplayList.from_bytes(memoryview(doubled)[::2]).to_bytes() == data


def test_messages_name_the_type_wanted():
    with pytest.raises(ValueError, match="uint8") as e:
        scene().add_spheres(POINTS, 1.0, np.ones((4, 3)))
    assert "int32" not in str(e.value)


def signatures(obj):
    """(name, first docstring line) of every routine of a module or class."""
    for name, member in inspect.getmembers(obj):
        if name.startswith("__") and name not in ("__init__",):
            continue
        if inspect.isclass(member) and member.__module__.startswith("tessary"):
            yield from signatures(member)
        elif callable(member) and getattr(member, "__doc__", None):
            yield f"{getattr(obj, '__name__', obj)}.{name}", member.__doc__


def test_signatures_say_what_each_argument_takes():
    found = dict(signatures(_tessary)) | dict(signatures(coordination))
    assert len(found) > 40
    for name, doc in found.items():
        assert not re.search(r"\bhandle\b", doc), f"{name}: {doc.splitlines()[0]}"
    assert "centres: numpy.ndarray[float32, (n, 3)]" in tessary.DisplayList.add_spheres.__doc__
    assert "radius: Optional[float]" in tessary.NeighborList.neighbors.__doc__
