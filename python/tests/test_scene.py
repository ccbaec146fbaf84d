import subprocess
import sys

import numpy as np
import pytest

import tessary
from structures import read_pdb


def atom_scene():
    atoms = read_pdb("1ubq.pdb")
    xyz = atoms["xyz"].astype(np.float32)
    ids = np.arange(1, len(xyz) + 1, dtype=np.int64)
    colors = np.zeros((len(xyz), 4), np.uint8)
    colors[:, 0] = 200
    colors[::10, 3] = 128  # every tenth atom transparent
    scene = tessary.DisplayList()
    scene.add_spheres(xyz, np.full(len(xyz), 1.5), colors, ids)
    return scene, xyz, ids


def dots_by_id(scene):
    positions, ids = scene.pick_dots()
    assert positions.shape == (len(ids), 3) and ids.dtype == np.uint32
    order = np.argsort(ids, kind="stable")
    return positions[order], ids[order]


def test_pick_dots_map_back_to_atoms():
    scene, xyz, ids = atom_scene()
    positions, picked = dots_by_id(scene)
    np.testing.assert_array_equal(picked, ids)
    np.testing.assert_array_equal(positions, xyz[picked - 1])


def test_child_transformation_and_clip_plane():
    scene, xyz, ids = atom_scene()
    root = tessary.DisplayList()
    motion = tessary.Matrix4x4.from_rotation("z", 90.0) @ tessary.Matrix4x4.from_translation((10, 0, 0))
    scene.local_transformation = motion
    centre = xyz.mean(axis=0).astype(np.float64)
    scene.set_clip_plane(3, centre, (1, 0, 0))
    root.add_child(scene)
    positions, picked = dots_by_id(root)
    kept = ids[xyz[:, 0] > centre[0]]
    assert 0 < len(kept) < len(ids)
    np.testing.assert_array_equal(picked, kept)
    np.testing.assert_allclose(positions, motion.transform(xyz[kept - 1]), atol=1e-4)


def test_cylinders_pick_their_end_ids_and_meshes_their_vertex_ids():
    ends = np.array([[0, 0, 0], [2, 0, 0], [0, 3, 0]], np.float32)
    scene = tessary.DisplayList()
    scene.add_cylinders(ends[:2], ends[1:], 0.2, [10, 20, 30], ids=[7, 8], end_ids1=[1, 2], end_ids2=[3, 4])
    scene.add_mesh(ends, np.tile([0.0, 0.0, 1.0], (3, 1)), [50, 60, 70, 0], [[0, 1, 2]], id=9, vertex_ids=[11, 12, 13])
    positions, picked = scene.pick_dots()
    cylinder_ids = picked[np.isin(picked, [1, 2, 3, 4, 7, 8])]
    assert sorted(cylinder_ids.tolist()) == [1, 2, 3, 4, 7, 8]
    np.testing.assert_allclose(positions[picked == 8], [[1, 1.5, 0]])
    assert set(picked.tolist()) - set(cylinder_ids.tolist()) == {11, 12, 13}


def nested_scene():
    scene, _, _ = atom_scene()
    child = tessary.DisplayList()
    child.add_cylinders([[0, 0, 0]], [[1, 1, 1]], [0.3], [[1, 2, 3, 4]], [[5, 6, 7, 0]], 5, [6], [7])
    child.add_mesh([[0, 0, 0], [1, 0, 0], [0, 1, 0]], [[0, 0, 1]] * 3, [[9, 9, 9, 200]] * 3, [[0, 1, 2]], 3)
    child.local_transformation = tessary.Matrix4x4.from_translation((1, 2, 3))
    child.set_clip_plane(5, (0, 0, 0.5), (0, 0, -1), enabled=False)
    grandchild = tessary.DisplayList()
    grandchild.add_mesh([[0, 0, 0], [1, 0, 0], [0, 1, 0]], [[0, 0, 1]] * 3, [0, 0, 0], [[0, 1, 2]], 0, [4, 5, 6])
    child.add_child(grandchild)
    scene.add_child(child)
    return scene


def test_archive_round_trip_keeps_everything():
    scene = nested_scene()
    data = scene.to_bytes()
    loaded = tessary.DisplayList.from_bytes(data)
    assert loaded.to_bytes() == data
    for a, b in [(scene, loaded), (scene.child(0), loaded.child(0))]:
        for reader in (a.spheres, a.cylinders):
            expected, got = reader(), getattr(b, reader.__name__)()
            for key in expected:
                np.testing.assert_array_equal(got[key], expected[key], err_msg=key)
    for key, value in scene.child(0).mesh(0).items():
        np.testing.assert_array_equal(loaded.child(0).mesh(0)[key], value, err_msg=key)
    np.testing.assert_array_equal(loaded.child(0).child(0).mesh(0)["vertex_ids"], [4, 5, 6])
    assert loaded.child(0).clip_plane(5)[2] is False
    np.testing.assert_array_equal(np.asarray(loaded.child(0).local_transformation),
                                  np.asarray(scene.child(0).local_transformation))
    for got, expected in zip(dots_by_id(loaded), dots_by_id(scene)):
        np.testing.assert_array_equal(got, expected)


def test_bad_bytes_raise_archive_error():
    data = nested_scene().to_bytes()
    for cut in list(range(0, 64)) + list(range(64, len(data), 97)) + [len(data) - 1]:
        with pytest.raises(tessary.ArchiveError):
            tessary.DisplayList.from_bytes(data[:cut])
    bad = [data + b"\0", b"x" + data[1:], data[:14] + b"\x63" + data[15:]]
    for b in bad:
        with pytest.raises(tessary.ArchiveError):
            tessary.DisplayList.from_bytes(b)


def test_deep_nesting_round_trips():
    lists = tessary.DisplayList()
    for _ in range(300):
        outer = tessary.DisplayList()
        outer.add_child(lists)
        lists = outer
    data = lists.to_bytes()
    loaded = tessary.DisplayList.from_bytes(data)
    assert loaded.to_bytes() == data
    depth = 0
    while loaded.num_children > 0:
        loaded = loaded.child(0)
        depth += 1
    assert depth == 300


def test_a_child_is_a_reference_into_its_tree():
    root = tessary.DisplayList()
    for _ in range(3):
        root.add_child(tessary.DisplayList())
    middle = root.child(1)
    middle.set_clip_plane(2, (0, 0, 1), (0, 0, -1))
    middle.add_spheres([[0, 0, 0], [0, 0, 2]], 0.5, [1, 2, 3], [5, 6])
    middle.add_child(tessary.DisplayList())
    middle.child(0).local_transformation = tessary.Matrix4x4.from_translation((4, 0, 0))
    assert root.child(1).clip_plane(2)[2] is True
    assert root.child(1).num_spheres == 2 and root.child(1).child(0).local_transformation.translation.x == 4
    assert root.pick_dots()[1].tolist() == [5]  # the plane keeps z < 1
    # Removing a sibling before it leaves the reference on its own list.
    root.remove_child(0)
    assert middle.id == root.child(0).id and middle.num_spheres == 2
    # The reference keeps the tree alive; a removed list raises.
    last = root.child(1)
    del root
    assert middle.num_spheres == 2
    grandchild = middle.child(0)
    middle.remove_child(0)
    with pytest.raises(ReferenceError):
        grandchild.pick_dots()
    with pytest.raises(IndexError):
        middle.remove_child(0)
    assert last.num_children == 0


def test_adding_copies_and_copies_are_independent():
    import copy

    root, child = tessary.DisplayList(), tessary.DisplayList()
    root.add_child(child)
    child.add_spheres([[0, 0, 0]], 1.0, [1, 2, 3], 1)
    assert root.child(0).num_spheres == 0
    root.add_child(root)  # a copy of the tree as it stood
    assert root.num_children == 2 and root.child(1).num_children == 1
    for twin in (copy.copy(root), copy.deepcopy(root)):
        twin.child(0).add_spheres([[0, 0, 0]], 1.0, [1, 2, 3], 1)
        assert twin.child(0).num_spheres == 1 and root.child(0).num_spheres == 0


DEEP_CHAIN = """
import copy, tessary
root = tessary.DisplayList()
node = root
for _ in range(20000):
    node.add_child(tessary.DisplayList())
    node = node.child(0)
node.add_spheres([[1, 2, 3]], 1.0, [1, 2, 3], 7)
positions, ids = root.pick_dots()
assert ids.tolist() == [7] and positions.tolist() == [[1, 2, 3]], (positions, ids)
twin = copy.copy(root)
holder = tessary.DisplayList()
holder.add_child(root)
assert holder.child(0).child(0).num_children == 1
assert tessary.DisplayList.from_bytes(root.to_bytes()).pick_dots()[1].tolist() == [7]
del node, root, twin, holder
print("done")
"""


def test_a_20000_deep_chain_of_lists():
    # A stack overflow kills the interpreter: run it in a child process.
    run = subprocess.run([sys.executable, "-c", DEEP_CHAIN], capture_output=True, text=True, timeout=600)
    assert run.returncode == 0 and run.stdout.strip() == "done", run.stderr[-2000:]
