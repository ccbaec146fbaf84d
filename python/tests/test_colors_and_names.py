import numpy as np
import pytest

import tessary
from structures import read_pdb

BLUE, GREEN, RED, BLACK = [0, 0, 255, 0], [0, 255, 0, 0], [255, 0, 0, 0], [0, 0, 0, 0]


@pytest.mark.parametrize(
    "parameters, values, expected",
    [
        (dict(minimum=0, maximum=10), [0, 5, 10, -3, 40], [BLUE, GREEN, RED, BLUE, RED]),
        (dict(minimum=0, maximum=10, clip=True), [-3, 40, np.nan, 0], [BLACK, BLACK, BLACK, BLUE]),
        (dict(name="red-blue", minimum=1, maximum=2, count=2), [1, 2], [RED, BLUE]),
        (dict(minimum=0, maximum=1, transfer=np.array([True, False, True])), [0.0, 0.5, 1.0], [BLUE, BLACK, RED]),
    ],
)
def test_color_map_parameters(parameters, values, expected):
    colors = tessary.ColorMapParameters(**parameters).colors(np.array(values, dtype=np.float64))
    assert colors.dtype == np.uint8 and colors.shape == (len(values), 4)
    np.testing.assert_array_equal(colors, expected)


def test_ramps_and_color_maps():
    assert len(tessary.ramp_names()) == 12
    np.testing.assert_array_equal(tessary.ramp("Blue-Green-Red"), [BLUE, GREEN, RED])
    residues = np.arange(1, 77)
    by_name = tessary.ColorMap("Blue-Green-Red", 1, 76).colors(residues)
    by_stops = tessary.ColorMap(np.array([[0, 0, 255], [0, 255, 0], [255, 0, 0]], np.uint8), 1, 76).colors(residues)
    np.testing.assert_array_equal(by_name, by_stops)
    np.testing.assert_array_equal(by_name[[0, -1]], [BLUE, RED])
    banded = tessary.ColorMap("Red-Blue", 0, 1, size=2, blended=False)
    np.testing.assert_array_equal(banded.slots(), [RED, BLUE])


def test_name_filter_on_atom_names():
    names = read_pdb("1ubq.pdb")["name"]
    for pattern, whole, expected in [
        ("C[AB]", True, np.isin(names, ["CA", "CB"])),
        ("*G", True, np.char.endswith(names.astype(str), "G")),
        ("^O", False, np.char.startswith(names.astype(str), "O")),
        ("NZ|N", True, np.isin(names, ["N", "NZ"])),
    ]:
        expression = tessary.RegExpression(pattern)
        hits = expression.filter(names, whole)
        np.testing.assert_array_equal(hits, np.nonzero(expected)[0], err_msg=pattern)
        assert expression.filter_names(list(names), whole) == list(names[hits])
    broken = tessary.RegExpression("C[A")
    assert not broken.match("CA") and broken.error
