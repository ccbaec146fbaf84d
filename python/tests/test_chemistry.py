import numpy as np
import pytest

import tessary
from tessary import coordination
from structures import read_models, read_pdb


def brute_force_pairs(xyz, cutoff):
    d2 = ((xyz[:, None, :] - xyz[None, :, :]) ** 2).sum(axis=2)
    i, j = np.nonzero(np.triu(d2 < cutoff * cutoff, k=1))
    return set(zip(i.tolist(), j.tolist()))


def as_pairs(first, second):
    assert first.dtype == np.int32 and second.dtype == np.int32 and len(first) == len(second)
    return {(min(a, b), max(a, b)) for a, b in zip(first.tolist(), second.tolist())}


@pytest.mark.parametrize(
    "cutoff, layout",
    [(2.0, "float32"), (4.0, "float32"), (2.0, "float64"), (3.0, "strided float32")],
)
def test_pairs_match_brute_force_on_ubiquitin(cutoff, layout):
    xyz = read_pdb("1ubq.pdb")["xyz"]
    points = {
        "float32": xyz.astype(np.float32),
        "float64": xyz,
        "strided float32": np.asfortranarray(xyz.astype(np.float32)),
    }[layout]
    # The reference works on the float32 values the list stores.
    expected = brute_force_pairs(xyz.astype(np.float32).astype(np.float64), cutoff)
    assert len(expected) > 100
    assert as_pairs(*tessary.neighbor_pairs(points, cutoff)) == expected
    assert as_pairs(*tessary.NeighborList(cutoff, points).pairs()) == expected


@pytest.mark.parametrize("radius", [3.0, 4.0, None])
def test_queries_match_brute_force(radius):
    xyz = read_pdb("1ubq.pdb")["xyz"].astype(np.float32)
    nl = tessary.NeighborList(4.0, xyz[:300])
    with pytest.raises(ValueError):  # a non-finite point is refused whole, the list unchanged
        nl.add(np.vstack([xyz[300:302], [[np.nan, 0, 0]]]))
    assert nl.add(xyz[300:]) == 300 and len(nl) == len(xyz)
    stored = xyz.astype(np.float64)
    queries = xyz[::97] + 0.5
    q, found = nl.neighbors_of(queries, radius)
    within = 4.0 if radius is None else radius
    for k, point in enumerate(queries.astype(np.float64)):
        d = np.linalg.norm(stored - point, axis=1)
        expected = set(np.nonzero(d < within)[0].tolist())
        assert set(found[q == k].tolist()) == expected
        assert set(nl.neighbors(tessary.Point3d(*point), radius).tolist()) == expected


@pytest.mark.parametrize("radius", [4.01, 5.0, 1e9, np.inf, np.nan, -1.0])
def test_a_radius_the_grid_cannot_search_completely_is_refused(radius):
    # Above the cutoff the grid's neighbouring cells miss points (a radius of
    # 5 on a 2.0 list found half of them); refuse rather than answer wrongly.
    xyz = read_pdb("1ubq.pdb")["xyz"].astype(np.float32)
    nl = tessary.NeighborList(4.0, xyz)
    with pytest.raises(ValueError, match="radius"):
        nl.neighbors(xyz[0], radius)
    with pytest.raises(ValueError, match="radius"):
        nl.neighbors_of(xyz[:5], radius)


def ca_models(file_name):
    return [m["xyz"][m["name"] == "CA"] for m in read_models(file_name)]


def kabsch_rmsd(a, b):
    a = a - a.mean(axis=0)
    b = b - b.mean(axis=0)
    u, s, vt = np.linalg.svd(a.T @ b)
    s[-1] *= np.sign(np.linalg.det(u @ vt))
    return np.sqrt(max((a * a).sum() + (b * b).sum() - 2 * s.sum(), 0) / len(a))


def test_superposition_of_nmr_models():
    models = ca_models("1d3z.pdb")
    assert len(models) == 10 and all(len(m) == 76 for m in models)
    whole = read_models("1d3z.pdb")[3]["xyz"]
    for k in range(1, len(models)):
        a, b = models[k], models[0]
        moved, matrix, rmsd = tessary.superpose(a, b)
        assert rmsd == pytest.approx(kabsch_rmsd(a, b), abs=2e-3)
        assert rmsd == pytest.approx(np.sqrt(((moved - b) ** 2).sum(axis=1).mean()), abs=1e-5)
        np.testing.assert_allclose(matrix.transform(a), moved, atol=2e-3)
        # The iterative fit is close to the exact one, never better.
        _, _, iterative = tessary.rms_best_fit(a, b)
        assert rmsd - 1e-4 <= iterative <= rmsd + 0.05
    # A third set moves by the fit of the first onto the second.
    moved, matrix, _ = tessary.superpose(models[3], models[0], whole)
    assert moved.shape == whole.shape
    np.testing.assert_allclose(matrix.transform(whole), moved, atol=2e-3)


def test_superposition_recovers_a_known_motion():
    a = ca_models("1d3z.pdb")[0]
    motion = tessary.Matrix4x4.from_rotation([1, 2, 3], 40.0)
    motion.translation = (5, -3, 12)
    b = motion.transform(a)
    for fit in (tessary.superpose, tessary.rms_best_fit):
        moved, matrix, rmsd = fit(a, b)
        assert rmsd < (1e-3 if fit is tessary.superpose else 0.1)
    moved, matrix, rmsd = tessary.superpose(a, b)
    # Float32 coordinates near 30 carry about 2e-6 of rounding each.
    np.testing.assert_allclose(np.asarray(matrix)[:3], np.asarray(motion)[:3], atol=1e-5)
    np.testing.assert_allclose(np.asarray(matrix)[3], np.asarray(motion)[3], atol=1e-4)


def zinc_directions(structure):
    zinc = np.nonzero(structure["element"] == "Zn")[0]
    assert len(zinc) > 0
    xyz = structure["xyz"]
    sites = []
    for z in zinc:
        d = np.linalg.norm(xyz - xyz[z], axis=1)
        ligands = (d > 0.1) & (d < 2.8) & (structure["element"] != "H")
        vectors = xyz[ligands] - xyz[z]
        sites.append(vectors / np.linalg.norm(vectors, axis=1)[:, None])
    return sites


def test_zinc_sites_of_atcase_are_tetrahedral():
    for directions in zinc_directions(read_pdb("4at1.ent")):
        assert len(directions) == 4
        ranking = coordination.rank(directions)
        assert ranking[0][0] == coordination.Geometry.Tetrahedral
        assert [s for _, s in ranking] == sorted(s for _, s in ranking)
        score, assignment = coordination.deviation(directions, coordination.Geometry.Tetrahedral)
        assert score == pytest.approx(ranking[0][1])
        assert sorted(assignment.tolist()) == [1, 2, 3, 4]


def test_directions_of_any_length_are_made_unit_vectors():
    octahedron = coordination.reference_coordinates(coordination.Geometry.Octahedral)[1:].astype(np.float64)
    lengths = np.array([1.0, 2.0, 0.5, 3.0, 1.9, 2.2])[:, None]
    for directions in (octahedron * 2.0, octahedron * lengths):
        score, _ = coordination.deviation(directions, coordination.Geometry.Octahedral)
        assert score == pytest.approx(0, abs=1e-5)
        best, best_score = coordination.rank(directions)[0]
        assert best == coordination.Geometry.Octahedral and best_score == pytest.approx(0, abs=1e-5)
    zero = octahedron.copy()
    zero[2] = 0
    for call in (lambda: coordination.deviation(zero, coordination.Geometry.Octahedral), lambda: coordination.rank(zero)):
        with pytest.raises(ValueError, match="zero vector"):
            call()


@pytest.mark.parametrize(
    "name, geometry, ligands",
    [("t4", "Tetrahedral", 4), ("OCTAHEDRAL", "Octahedral", 6), ("tbpy5", "TrigonalBipyramidal", 5)],
)
def test_geometry_names_and_reference_coordinates(name, geometry, ligands):
    g = coordination.from_name(name)
    assert g == getattr(coordination.Geometry, geometry)
    assert coordination.coordination_number(g) == ligands
    reference = coordination.reference_coordinates(g)
    assert reference.shape == (ligands + 1, 3) and reference.dtype == np.float32
    np.testing.assert_allclose(reference[0], 0)
    score, _ = coordination.deviation(reference[1:], g)
    assert score == pytest.approx(0, abs=1e-5)
