import numpy as np
import pytest

import tessary
from tessary import coordination

POINTS = np.zeros((4, 3), np.float32)


def scene():
    return tessary.DisplayList()


BAD_CALLS = {
    "points of 2 columns": lambda: tessary.neighbor_pairs(np.zeros((4, 2), np.float32), 2.0),
    "points of 1 dimension": lambda: tessary.NeighborList(2.0, np.zeros(12, np.float32)),
    "int points": lambda: tessary.neighbor_pairs(np.zeros((4, 3), np.int32), 2.0),
    "big-endian points": lambda: tessary.neighbor_pairs(np.zeros((4, 3), ">f4"), 2.0),
    "complex points": lambda: tessary.Matrix4x4().transform(np.zeros((4, 3), np.complex64)),
    "string points": lambda: tessary.neighbor_pairs("abc", 2.0),
    "ragged points": lambda: tessary.NeighborList(2.0).add([[1, 2, 3], [4, 5]]),
    "query of 2 values": lambda: tessary.NeighborList(2.0, POINTS).neighbors([1.0, 2.0]),
    "in-place float64": lambda: tessary.Matrix4x4().transform_inplace(np.zeros((4, 3))),
    "in-place read-only": lambda: tessary.Matrix4x4().transform_inplace(np.broadcast_to(POINTS[:1], (4, 3))),
    "matrix 3x3": lambda: tessary.Matrix4x4(np.eye(3)),
    "rotation about 'w'": lambda: tessary.Matrix4x4.from_rotation("w", 10.0),
    "fit of unequal sets": lambda: tessary.superpose(POINTS, POINTS[:3]),
    "fit of no points": lambda: tessary.rms_best_fit(POINTS[:0], POINTS[:0]),
    "fit of NaN": lambda: tessary.superpose(np.full((4, 3), np.nan), POINTS),
    "fit onto a bad c": lambda: tessary.superpose(POINTS, POINTS, np.zeros((4, 4))),
    "3 directions for a tetrahedron": lambda: coordination.deviation(POINTS[:3], coordination.Geometry.Tetrahedral),
    "unknown geometry name": lambda: coordination.from_name("pentagon-ish"),
    "unknown ramp": lambda: tessary.ramp("Purple-Haze"),
    "unknown ramp in parameters": lambda: tessary.ColorMapParameters("Purple-Haze"),
    "2-D values": lambda: tessary.ColorMapParameters().colors(np.zeros((2, 2))),
    "string values": lambda: tessary.ColorMap("Red-Blue", 0, 1).colors(np.array(["a"])),
    "int transfer": lambda: tessary.ColorMapParameters(transfer=np.ones(4, np.int32)),
    "ramp of 2 columns": lambda: tessary.ColorMap(np.zeros((3, 2), np.uint8), 0, 1),
    "names with a number": lambda: tessary.RegExpression("C.*").filter(["CA", 5]),
    "radii of wrong length": lambda: scene().add_spheres(POINTS, np.ones(3), [1, 2, 3]),
    "colour byte of 256": lambda: scene().add_spheres(POINTS, 1.0, [256, 0, 0]),
    "float colours": lambda: scene().add_spheres(POINTS, 1.0, np.ones((4, 3))),
    "colours of 5 bytes": lambda: scene().add_spheres(POINTS, 1.0, np.zeros((4, 5), np.uint8)),
    "negative id": lambda: scene().add_spheres(POINTS, 1.0, [1, 2, 3], -1),
    "id past 32 bits": lambda: scene().add_spheres(POINTS, 1.0, [1, 2, 3], np.uint64(2**32)),
    "float ids": lambda: scene().add_spheres(POINTS, 1.0, [1, 2, 3], np.ones(4)),
    "cylinder ends of unequal length": lambda: scene().add_cylinders(POINTS, POINTS[:2], 1.0, [1, 2, 3]),
    "triangle past the vertices": lambda: scene().add_mesh(POINTS, POINTS, [1, 2, 3], [[0, 1, 4]]),
    "negative triangle index": lambda: scene().add_mesh(POINTS, POINTS, [1, 2, 3], [[0, -1, 2]]),
    "triangles of 4 corners": lambda: scene().add_mesh(POINTS, POINTS, [1, 2, 3], [[0, 1, 2, 3]]),
    "normals of wrong length": lambda: scene().add_mesh(POINTS, POINTS[:3], [1, 2, 3], [[0, 1, 2]]),
}


@pytest.mark.parametrize("call", BAD_CALLS.values(), ids=BAD_CALLS.keys())
def test_bad_shapes_and_dtypes_raise_value_error(call):
    with pytest.raises(ValueError):
        call()


def test_clip_plane_index_out_of_range_raises_index_error():
    with pytest.raises(IndexError):
        scene().set_clip_plane(6, (0, 0, 0), (1, 0, 0))
    with pytest.raises(IndexError):
        scene().child(0)


@pytest.mark.parametrize("dtype", [np.int8, np.uint16, np.int32, np.int64, np.uint32])
def test_integer_dtypes_are_read_by_value(dtype):
    ids = np.array([1, 2, 100, 127], dtype)
    s = scene()
    s.add_spheres(POINTS + np.arange(4, dtype=np.float32)[:, None], 1.0, [1, 2, 3], ids)
    np.testing.assert_array_equal(s.spheres()["ids"], [1, 2, 100, 127])


def test_points_are_read_in_place_only_when_float32_and_contiguous():
    points = np.arange(12, dtype=np.float32).reshape(4, 3)
    m = tessary.Matrix4x4.from_translation((1, 0, 0))
    moved = m.transform(points)
    np.testing.assert_array_equal(points[:, 0], [0, 3, 6, 9])  # the input is left alone
    np.testing.assert_array_equal(moved[:, 0], [1, 4, 7, 10])
    np.testing.assert_array_equal(m.transform(points.astype(np.float64)[::-1]), moved[::-1])
    m.transform_inplace(points)
    np.testing.assert_array_equal(points, moved)


def test_point_and_matrix_basics():
    p = tessary.Point3d(1, 2, 3)
    q = tessary.Point3d(-2, 0.5, 4)
    assert p + q == tessary.Point3d(-1, 2.5, 7) and p - 1 == tessary.Point3d(0, 1, 2)
    assert 2 * p == tessary.Point3d(2, 4, 6) and p * q == tessary.Point3d(-2, 1, 12)
    assert p / 0 == p and p.dot(q) == pytest.approx(11)
    assert p.cross(q) == tessary.Point3d(6.5, -10, 4.5)
    assert tessary.Point3d(3, 4, 0).normalized() == tessary.Point3d(0.6, 0.8, 0)
    turn = tessary.Matrix4x4.from_rotation("z", 90.0)
    shift = tessary.Matrix4x4.from_translation((10, 0, 0))
    # Row vectors: in a @ b, a acts first.
    assert (tessary.Point3d(1, 0, 0) * (turn @ shift)).distance(tessary.Point3d(10, 1, 0)) < 1e-6
    assert (tessary.Point3d(1, 0, 0) * (shift @ turn)).distance(tessary.Point3d(0, 11, 0)) < 1e-5
    about = tessary.Matrix4x4.from_rotation([0, 0, 1], 90.0, centre=(5, 5, 0))
    assert (tessary.Point3d(5, 5, 7) * about).distance(tessary.Point3d(5, 5, 7)) < 1e-6
    both = turn @ shift
    np.testing.assert_allclose(np.asarray(both @ both.inverse()), np.eye(4), atol=1e-12)
    view = np.asarray(both)
    view[3, 2] = 5.0  # the buffer is the matrix itself
    assert both.translation == tessary.Point3d(10, 0, 5)
    assert tessary.Matrix4x4().determinant() == 1.0
