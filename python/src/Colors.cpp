// Colour ramps and maps from arrays of values to (n, 4) byte arrays, and the
// regular-expression name filter.

#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "Arrays.h"
#include "Module.h"
#include "tessary/color/ColorArray.h"
#include "tessary/color/ColorMap.h"
#include "tessary/util/RegExpression.h"

namespace tessary_python {

using Tessary::BoolArray;
using Tessary::ColorArray;
using Tessary::ColorMap;
using Tessary::ColorMapParameters;
using Tessary::CString;
using Tessary::RegExpression;

namespace {

struct RampTag {
    static constexpr auto name = py::detail::const_name("str | numpy.ndarray[uint8, (k, 4)]");
};

constexpr ColorArray (*kRamps[])() = {
    ColorArray::BlackWhite,   ColorArray::WhiteBlack,   ColorArray::RedBlue,          ColorArray::BlueRed,
    ColorArray::RedWhiteBlue, ColorArray::BlueWhiteRed, ColorArray::RedGreenBlue,     ColorArray::BlueGreenRed,
    ColorArray::Rainbow1,     ColorArray::Rainbow1Reversed, ColorArray::Rainbow2,     ColorArray::Rainbow2Reversed};

// The built-in ramp of that name (any letter case); the library would fall
// back to Red-Green-Blue silently, which hides a typing error.
ColorArray KnownRamp(const std::string& name) {
    const ColorArray ramp = ColorArray::Named(name);
    if (ramp.GetName().CompareNoCase(CString(name)) != 0) Fail("name", "no colour ramp named '" + name + "'");
    return ramp;
}

py::array_t<std::uint8_t> RampOut(const ColorArray& ramp) {
    return ColorsOut(ramp.GetData(), static_cast<std::size_t>(ramp.GetSize()));
}

// values -> colours. The values are data, not geometry: NaN is allowed
// (a missing value), and the lookup decides its colour.
template <class Lookup>
py::array_t<std::uint8_t> MapValues(py::handle values, Lookup&& lookup) {
    const py::array a = py::array::ensure(values);
    const char kind = a ? a.dtype().kind() : 0;
    if (!a || a.ndim() != 1 || (kind != 'f' && kind != 'i' && kind != 'u'))
        Fail("values", "expected a 1-D array of numbers");
    const py::array_t<double, py::array::c_style | py::array::forcecast> v(a);
    std::vector<Tessary::Color> colors(static_cast<std::size_t>(v.size()));
    for (std::size_t i = 0; i < colors.size(); ++i) colors[i] = lookup(v.data()[i]);
    return ColorsOut(colors.data(), colors.size());
}

BoolArray Transfer(py::handle transfer) {
    const py::array a = py::array::ensure(transfer);
    if (!a || a.ndim() != 1 || a.dtype().kind() != 'b') Fail("transfer", "expected a 1-D bool array");
    const py::array_t<bool, py::array::c_style | py::array::forcecast> b(a);
    BoolArray out;
    for (py::ssize_t i = 0; i < b.size(); ++i) out.Add(b.data()[i]);
    return out;
}

std::unique_ptr<ColorMapParameters> MakeParameters(const std::string& name, bool clip, double minimum, double maximum,
                                                   std::optional<int> count, std::optional<BoolsArg> transfer) {
    KnownRamp(name);
    Finite(minimum, "minimum");
    Finite(maximum, "maximum");
    if (transfer)
        return std::make_unique<ColorMapParameters>(name, clip, minimum, maximum, Transfer(*transfer));
    const int n = count ? *count : 32;
    if (n < 1) Fail("count", "at least one slot");
    return std::make_unique<ColorMapParameters>(name, clip, minimum, maximum, n);
}

std::unique_ptr<ColorMap> MakeMap(const Typed<RampTag>& ramp, double begin, double end, int size, bool blended) {
    if (size < 1) Fail("size", "at least one slot");
    Finite(begin, "begin");
    Finite(end, "end");
    auto map = std::make_unique<ColorMap>(size);
    if (py::isinstance<py::str>(ramp)) {
        map->Ramp(KnownRamp(ramp.object.cast<std::string>()), blended);
    } else {
        const py::array a = py::array::ensure(ramp);
        if (!a || a.ndim() != 2) Fail("ramp", "expected a ramp name or a (k, 4) / (k, 3) byte array");
        const std::vector<Tessary::Color> stops = Colors(a, static_cast<std::size_t>(a.shape(0)), "ramp");
        if (stops.empty()) Fail("ramp", "a ramp needs at least one colour");
        map->Ramp(static_cast<int>(stops.size()), stops.data(), blended);
    }
    map->SetBeginEnd(begin, end);
    return map;
}

// Calls f(index, name) for each name of an iterable of str (NumPy str arrays included).
template <class F>
void EachName(py::handle names, F&& f) {
    std::size_t i = 0;
    for (py::handle item : py::iter(names)) {
        if (!py::isinstance<py::str>(item)) Fail("names", "expected str items, got " + std::string(py::str(py::type::of(item))));
        f(i++, item.cast<std::string>());
    }
}

void RegisterRegExpression(py::module_& m) {
    py::class_<RegExpression>(m, "RegExpression",
                              "A small regular-expression filter for atom, residue and chain names: literals, '.', "
                              "[sets], (groups), '|', '*', '+', '?', '^', '$', word boundaries; a leading '*' "
                              "means '.*'.")
        .def(py::init([](const std::string& pattern) { return RegExpression(pattern, false); }), py::arg("pattern"),
             "An expression; it is compiled on the first match.")
        .def_property_readonly("pattern", [](const RegExpression& r) { return std::string(r.GetText().GetString()); },
                               "The expression as compiled (trimmed, a leading '*' expanded).")
        .def_property_readonly(
            "error", [](const RegExpression& r) { return r.GetErrorMessage() ? py::object(py::str(r.GetErrorMessage())) : py::object(py::none()); },
            "Why the last compile or search failed, or None.")
        .def(
            "match", [](RegExpression& r, const std::string& subject, bool whole) { return r.Match(subject, whole); },
            py::arg("subject"), py::arg("whole") = true,
            "True when the expression matches the whole subject (whole=True) or somewhere in it.")
        .def(
            "filter",
            [](RegExpression& r, const NamesArg& names, bool whole) {
                std::vector<std::int64_t> hits;
                EachName(names, [&](std::size_t i, const std::string& name) {
                    if (r.Match(name, whole)) hits.push_back(static_cast<std::int64_t>(i));
                });
                return py::array_t<std::int64_t>(static_cast<py::ssize_t>(hits.size()), hits.data());
            },
            py::arg("names"), py::arg("whole") = true,
            "The indices (int64 array) of the names that match; index a NumPy array of names with it.")
        .def(
            "filter_names",
            [](RegExpression& r, const NamesArg& names, bool whole) {
                py::list out;
                EachName(names, [&](std::size_t, const std::string& name) {
                    if (r.Match(name, whole)) out.append(name);
                });
                return out;
            },
            py::arg("names"), py::arg("whole") = true, "The names that match, in order.");
}

}  // namespace

void RegisterColors(py::module_& m) {
    m.def(
        "ramp_names",
        [] {
            py::list names;
            for (auto ramp : kRamps) names.append(std::string(ramp().GetName().GetString()));
            return names;
        },
        "The names of the built-in colour ramps.");
    m.def(
        "ramp", [](const std::string& name) { return RampOut(KnownRamp(name)); }, py::arg("name"),
        "The stops of a built-in ramp as a (k, 4) uint8 array (R, G, B, A; A is transparency, 0 = opaque). "
        "ValueError for an unknown name.");

    py::class_<ColorMapParameters>(m, "ColorMapParameters",
                                   "A stored colouring: a built-in ramp, a value range, a clip flag and a transfer "
                                   "function (one flag per slot; a cleared slot maps to black).")
        .def(py::init(&MakeParameters), py::arg("name") = "Blue-Green-Red", py::arg("clip") = false,
             py::arg("minimum") = 0.0, py::arg("maximum") = 1.0, py::arg("count") = py::none(),
             py::arg("transfer") = py::none(),
             "A ramp over [minimum, maximum] with count slots all on (default 32), or with the slots of a "
             "bool transfer array. ValueError for an unknown ramp name.")
        .def_property(
            "name", [](const ColorMapParameters& p) { return std::string(p.GetSpectrumName().GetString()); },
            [](ColorMapParameters& p, const std::string& name) { p.SetSpectrumName(KnownRamp(name).GetName()); },
            "The ramp name.")
        .def_property("clip", &ColorMapParameters::GetClip, &ColorMapParameters::SetClip,
                      "When set, values outside [minimum, maximum] (and NaN) map to black.")
        .def_property(
            "minimum", &ColorMapParameters::GetMinimum,
            [](ColorMapParameters& p, double v) { p.SetMinimum(Finite(v, "minimum")); }, "Range start (finite).")
        .def_property(
            "maximum", &ColorMapParameters::GetMaximum,
            [](ColorMapParameters& p, double v) { p.SetMaximum(Finite(v, "maximum")); }, "Range end (finite).")
        .def_property(
            "transfer",
            [](const ColorMapParameters& p) {
                BoolArray t;
                p.GetTransferFunction(t);
                py::array_t<bool> out(t.GetSize());
                for (int i = 0; i < t.GetSize(); ++i) out.mutable_data()[i] = t[i];
                return out;
            },
            [](ColorMapParameters& p, const BoolsArg& t) { p.SetTransferFunction(Transfer(t)); },
            "The transfer function as a bool array, one entry per slot.")
        .def(
            "colors",
            [](ColorMapParameters& p, const ValuesArg& values) {
                return MapValues(values, [&p](double v) { return p.CalculateColor(v); });
            },
            py::arg("values"),
            "The colour of each value as an (n, 4) uint8 array (A = 0: opaque). The minimum takes the ramp's "
            "first colour; NaN (a missing value) maps to black when clip is set.");

    py::class_<ColorMap>(m, "ColorMap", "A colour lookup: ramp stops spread over a number of slots, a value range "
                                        "mapped linearly onto them.")
        .def(py::init(&MakeMap), py::arg("ramp"), py::arg("begin"), py::arg("end"), py::arg("size") = 256,
             py::arg("blended") = true,
             "A map from a built-in ramp name or a (k, 4) / (k, 3) byte array of stops, with size slots "
             "(blended gradients, or flat bands) over [begin, end]; values outside clamp to the ends.")
        .def(
            "colors",
            [](const ColorMap& map, const ValuesArg& values) {
                return MapValues(values, [&map](double v) { return map.ColorAtValue(v); });
            },
            py::arg("values"), "The colour of each value as an (n, 4) uint8 array.")
        .def(
            "slots", [](const ColorMap& map) {
                std::vector<Tessary::Color> slots;
                for (int i = 0; i < map.GetSizeMap(); ++i) slots.push_back(map.ColorAtIndex(i));
                return ColorsOut(slots.data(), slots.size());
            },
            "Every slot's colour as a (size, 4) uint8 array.");
    RegisterRegExpression(m);
}

}  // namespace tessary_python
