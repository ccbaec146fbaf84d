"""Python threads sharing one object while calls run without the GIL.

Each case runs a writer and readers at once on one object and checks that
every answer is one the object gave at some point between two whole calls:
a query sees the object before or after each change, never in between.
"""

import threading

import numpy as np
import pytest

import tessary

CHUNKS = 6
CHUNK = 40000
READERS = 2


def run_together(writer, reader):
    """Runs writer() once and reader() over and over in READERS threads until
    the writer is done; re-raises the first failure of any thread."""
    done = threading.Event()
    start = threading.Barrier(READERS + 1)
    errors = []

    def write():
        try:
            start.wait()
            writer()
        except BaseException as e:  # handed to the main thread
            errors.append(e)
        finally:
            done.set()

    def read():
        try:
            start.wait()
            reader()
            while not done.is_set():
                reader()
        except BaseException as e:
            errors.append(e)

    threads = [threading.Thread(target=write)] + [threading.Thread(target=read) for _ in range(READERS)]
    for t in threads:
        t.start()
    for t in threads:
        t.join()
    if errors:
        raise errors[0]


def chunks_of_points(seed, chunks=CHUNKS, size=CHUNK):
    rng = np.random.default_rng(seed)
    # About four neighbours within 2.0 per point.
    side = (chunks * size * 4 / 3 * np.pi * 8 / 4) ** (1 / 3)
    return (rng.random((chunks, size, 3)) * side).astype(np.float32)


def pair_keys(first, second, n):
    a = np.minimum(first, second).astype(np.int64)
    b = np.maximum(first, second).astype(np.int64)
    return np.sort(a * n + b)


def test_add_against_pairs():
    chunks = chunks_of_points(1)
    total = CHUNKS * CHUNK
    # The answer after each number of chunks added, from single-threaded lists.
    expected = {}
    for k in range(1, CHUNKS + 1):
        first, second = tessary.neighbor_pairs(chunks[:k].reshape(-1, 3), 2.0)
        expected[len(first)] = pair_keys(first, second, total)
    assert len(expected) == CHUNKS  # the counts tell the stages apart
    nl = tessary.NeighborList(2.0, chunks[0])

    def reader():
        first, second = nl.pairs()
        key = pair_keys(first, second, total)
        assert len(key) in expected, f"{len(key)} pairs: no stage of the list has that many"
        np.testing.assert_array_equal(key, expected[len(key)])

    run_together(lambda: [nl.add(c) for c in chunks[1:]], reader)
    assert len(nl) == total


def test_add_against_neighbours():
    chunks = chunks_of_points(2)
    total = CHUNKS * CHUNK
    queries = (chunks[0][::1000] + 0.25).astype(np.float64)
    # The answers after each number of chunks added, by brute force.
    stages, keys, first = {}, [], set()
    for k, chunk in enumerate(chunks):
        d = np.linalg.norm(chunk.astype(np.float64)[None, :, :] - queries[:, None, :], axis=2)
        q, found = np.nonzero(d < 2.0)
        keys.append(q.astype(np.int64) * total + found + k * CHUNK)
        first |= set((np.nonzero(d[0] < 2.0)[0] + k * CHUNK).tolist())
        key = np.sort(np.concatenate(keys))
        stages[len(key)] = (key, set(first))
    assert len(stages) == CHUNKS
    nl = tessary.NeighborList(2.0, chunks[0])

    def reader():
        q, found = nl.neighbors_of(queries)
        assert len(found) in stages, f"{len(found)} neighbours: no stage of the list has that many"
        key, before = stages[len(found)]
        np.testing.assert_array_equal(np.sort(q.astype(np.int64) * total + found), key)
        # One query point: the list may have grown since, never shrunk or torn.
        one = set(nl.neighbors(queries[0]).tolist())
        assert before <= one and any(one == s for _, s in stages.values())

    run_together(lambda: [nl.add(c) for c in chunks[1:]], reader)


@pytest.mark.parametrize("through", ["the list", "a child reference"])
def test_add_spheres_against_pick_dots(through):
    chunks = chunks_of_points(3, 100, 2000)
    all_centres = chunks.reshape(-1, 3)
    for _ in range(3):  # short rounds: the adds hold the GIL between the picks
        root = tessary.DisplayList()
        if through == "the list":
            target = root
        else:
            root.add_child(tessary.DisplayList())
            target = root.child(0)

        def writer():
            for k, centres in enumerate(chunks):
                target.add_spheres(centres, 1.0, [200, 0, 0], np.arange(k * len(centres), (k + 1) * len(centres)) + 1)

        def reader():
            positions, ids = root.pick_dots()
            assert len(ids) % chunks.shape[1] == 0
            order = np.argsort(ids)
            np.testing.assert_array_equal(ids[order], np.arange(1, len(ids) + 1))
            np.testing.assert_array_equal(positions[order], all_centres[: len(ids)])

        run_together(writer, reader)
        assert target.num_spheres == len(all_centres)


def test_transform_inplace_on_a_shared_array():
    # Integer coordinates and whole-unit shifts: float32 stays exact.
    start = np.arange(300000 * 3, dtype=np.float32).reshape(-1, 3) % 1000
    points = start.copy()
    shift = tessary.Matrix4x4.from_translation((1, 2, 3))
    rounds = 20

    def writer():
        for _ in range(rounds):
            shift.transform_inplace(points)

    seen = []

    def reader():
        # A copy taken mid-way shows the array between two whole calls.
        moved = shift.transform(points) - start
        steps = moved[:, 0] - 1
        assert np.all(steps == steps[0]), "a transform saw a half-moved array"
        np.testing.assert_array_equal(moved, np.tile([1, 2, 3], (len(start), 1)) * (steps[0] + 1))
        seen.append(int(steps[0]))
        shift.transform_inplace(points)

    run_together(writer, reader)
    # Every call moved the whole array once: none was lost or torn.
    calls = rounds + len(seen)
    np.testing.assert_array_equal(points - start, np.tile([1, 2, 3], (len(start), 1)) * calls)
