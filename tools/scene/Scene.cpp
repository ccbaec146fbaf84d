#include "Scene.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <map>

#include "tessary/chemistry/AnisotropicDisplacement.h"
#include "tessary/color/ColorMap.h"
#include "tessary/geometry/QuadraticMatrix.h"
#include "tessary/geometry/Spline.h"

#include "AtomGrid.h"
#include "Elements.h"
#include "Labels.h"
#include "SceneWalk.h"

namespace TessaryScene {

using namespace Tessary;

Color SecondaryColor(char code) {
    switch (ClassOf(code)) {
        case SecondaryClass::Helix: return Color(220, 40, 60);
        case SecondaryClass::Strand: return Color(250, 200, 0);
        case SecondaryClass::Coil: break;
    }
    return Color(170, 170, 170);
}

namespace {

constexpr double kBondRadius = 0.14;
constexpr int kContactWidth = 2;          // pixels
constexpr int kContactDashes = 5;
constexpr double kImageScale = 0.6;        // a symmetry mate's donor beside the model's own atoms
constexpr double kTraceBreak = 4.2;       // C-alpha gap that ends a trace
constexpr double kNucleicTraceBreak = 8.0;  // the same between phosphates (about 7 A apart)
constexpr unsigned char kPolyhedronTransparency = 150;

// Twenty colours told apart at a glance on white, so chains repeat a colour
// only past twenty.
const Color kChainColors[] = {
    Color(70, 130, 220),  Color(230, 120, 40),  Color(60, 170, 90),   Color(210, 70, 90),  Color(150, 100, 200),
    Color(140, 90, 60),   Color(220, 120, 190), Color(120, 120, 120), Color(180, 180, 40), Color(40, 180, 190),
    Color(0, 90, 140),    Color(250, 180, 150), Color(100, 60, 130),  Color(140, 200, 90), Color(170, 30, 40),
    Color(240, 200, 100), Color(0, 130, 110),   Color(200, 160, 220), Color(90, 100, 40),  Color(255, 140, 110),
};

// One colour per chain name, in the order the names first appear: the parts
// a chain is read in (polymer, ligands, water) share it.
std::vector<Color> ChainColors(const Structure& s) {
    std::map<std::string, std::size_t> order;
    std::vector<Color> colors;
    colors.reserve(s.chains.size());
    for (const Chain& chain : s.chains) {
        const std::size_t k = order.emplace(chain.name, order.size()).first->second;
        colors.push_back(kChainColors[k % std::size(kChainColors)]);
    }
    return colors;
}

double SphereRadius(const ElementInfo& e, Style style) {
    if (style == Style::Spacefill) return e.vdwRadius;
    return e.vdwRadius * (e.metal ? 0.35 : 0.22);
}

// Semi-axes and axis matrix of the probability ellipsoid of U for `scale`
// (see ProbabilityScale; rows of the matrix are the unit axes); false when U
// is not positive definite.
bool DisplacementEllipsoid(const Atom& atom, double scale, Point3d& size, Matrix4x4& axes) {
    const auto& u = atom.u;
    const AnisotropicDisplacement adp(static_cast<float>(u[0]), static_cast<float>(u[1]), static_cast<float>(u[2]),
                                      static_cast<float>(u[3]), static_cast<float>(u[4]), static_cast<float>(u[5]),
                                      0, 0, 0, 0, 0, 0);
    const QuadraticMatrix tensor(adp.GetMatrix());
    QuadraticMatrix vectors(3);
    double values[3];
    // The library's own residual test is exact to 1e-14, tighter than tensors
    // read as floats allow; a result that fails it is checked here instead.
    tensor.GetEigenvectorsAndEigenvalues(vectors, values);
    for (double v : values)
        if (!(v > 0) || !std::isfinite(v)) return false;
    for (int axis = 0; axis < 3; ++axis) {
        for (int row = 0; row < 3; ++row) {
            double product = 0;
            for (int k = 0; k < 3; ++k) product += tensor(row, k) * vectors(k, axis);
            if (!(std::fabs(product - values[axis] * vectors(row, axis)) <= 1e-6 * values[0])) return false;
        }
    }
    size = Point3d(scale * std::sqrt(values[0]), scale * std::sqrt(values[1]), scale * std::sqrt(values[2]));
    // Eigenvectors are the columns of `vectors`; the axis matrix holds them as rows.
    axes = Matrix4x4(vectors(0, 0), vectors(1, 0), vectors(2, 0), 0, vectors(0, 1), vectors(1, 1), vectors(2, 1), 0,
                     vectors(0, 2), vectors(1, 2), vectors(2, 2), 0, 0, 0, 0, 1);
    return true;
}

class SceneBuilder {
public:
    SceneBuilder(const Structure& s, const SceneOptions& o, Scene& scene)
        : m_s(s), m_options(o), m_scene(scene), m_chainColors(ChainColors(s)),
          m_scale(ProbabilityScale(o.probability)) {}

    void Build() {
        m_scene.atomCount = static_cast<int>(m_s.atoms.size());
        m_scene.ellipsoids = m_options.style == Style::BallAndStick &&
                             (m_options.ellipsoids == Ellipsoids::On ||
                              (m_options.ellipsoids == Ellipsoids::ByKind && m_s.SmallMolecule()));
        m_scene.bonds = FindBonds(m_s);
        m_scene.metals = FindMetalSites(m_s);
        for (const MetalSite& site : m_scene.metals)
            for (const Ligand& l : site.ligands) m_scene.contacts.push_back({{site.metal, l.atom}, l.image});
        ChooseColors();
        std::vector<int> chainOf(m_s.atoms.size());
        for (std::size_t c = 0; c < m_s.chains.size(); ++c) {
            const Chain& chain = m_s.chains[c];
            for (int i = chain.first; i < chain.first + chain.count; ++i) chainOf[static_cast<std::size_t>(i)] = static_cast<int>(c);
        }
        // The chain lists are filled where they stand in the tree: Add copies a
        // list, and a copy of every atom would cost as much as building them.
        for (std::size_t c = 0; c < m_s.chains.size(); ++c) m_scene.root.Add(DisplayList3D());
        auto chainList = [&](int c) -> DisplayList3D& { return m_scene.root.GetDisplayList(c); };
        for (std::size_t c = 0; c < m_s.chains.size(); ++c) {
            AddAtoms(chainList(static_cast<int>(c)), m_s.chains[c]);
            AddTrace(chainList(static_cast<int>(c)), m_s.chains[c], m_chainColors[c]);
        }
        if (m_options.style == Style::BallAndStick) {
            for (std::size_t b = 0; b < m_scene.bonds.size(); ++b) {
                const Bond& bond = m_scene.bonds[b];
                const int c1 = chainOf[static_cast<std::size_t>(bond.first)];
                AddBond(c1 == chainOf[static_cast<std::size_t>(bond.second)] ? chainList(c1) : m_scene.root,
                        static_cast<int>(b));
            }
        }
        if (!m_scene.metals.empty()) m_scene.root.Add(MetalSiteList());
        AddTitle();
        if (m_options.coloring == Coloring::BFactor) AddLegend();
    }

private:
    void ChooseColors() {
        m_colors.resize(m_s.atoms.size());
        if (m_options.coloring == Coloring::BFactor) {
            double low = m_s.atoms.front().bFactor, high = low;
            for (const Atom& a : m_s.atoms) {
                low = std::min(low, a.bFactor);
                high = std::max(high, a.bFactor);
            }
            m_ramp = ColorMapParameters("Blue-White-Red", false, low, high > low ? high : low + 1.0, 32);
        }
        std::vector<char> codes;
        if (m_options.coloring == Coloring::SecondaryStructure)
            codes = AssignSecondaryStructure(m_s, m_options.secondary).atomCodes;
        for (std::size_t c = 0; c < m_s.chains.size(); ++c) {
            const Chain& chain = m_s.chains[c];
            for (int i = chain.first; i < chain.first + chain.count; ++i) {
                const Atom& a = m_s.atoms[static_cast<std::size_t>(i)];
                Color& color = m_colors[static_cast<std::size_t>(i)];
                switch (m_options.coloring) {
                    case Coloring::Element: color = LookupElement(a.element).GetColor(); break;
                    case Coloring::Chain: color = m_chainColors[c]; break;
                    case Coloring::BFactor: color = m_ramp.CalculateColor(a.bFactor); break;
                    case Coloring::SecondaryStructure: color = SecondaryColor(codes[static_cast<std::size_t>(i)]); break;
                }
            }
        }
    }

    void AddAtoms(DisplayList3D& list, const Chain& chain) {
        for (int i = chain.first; i < chain.first + chain.count; ++i) {
            const Atom& a = m_s.atoms[static_cast<std::size_t>(i)];
            const unsigned id = m_scene.AtomID(i);
            const Color color = m_colors[static_cast<std::size_t>(i)];
            Point3d size;
            Matrix4x4 axes;
            const bool ellipsoid = a.hasAniso && DisplacementEllipsoid(a, m_scale, size, axes);
            m_scene.tensors += a.hasAniso ? 1 : 0;
            m_scene.nonPositiveDefinite += a.hasAniso && !ellipsoid ? 1 : 0;
            if (m_scene.ellipsoids && ellipsoid) {
                list.Add(EllipsoidPrimitive(a.position, size, axes, color, id));
            } else {
                list.Add(SpherePrimitive(a.position, SphereRadius(LookupElement(a.element), m_options.style), color, id));
            }
        }
    }

    void AddBond(DisplayList3D& list, int b) {
        const Bond& bond = m_scene.bonds[static_cast<std::size_t>(b)];
        const auto& a1 = m_s.atoms[static_cast<std::size_t>(bond.first)];
        const auto& a2 = m_s.atoms[static_cast<std::size_t>(bond.second)];
        list.Add(CylinderPrimitive(a1.position, m_colors[static_cast<std::size_t>(bond.first)], a2.position,
                                   m_colors[static_cast<std::size_t>(bond.second)], kBondRadius, m_scene.BondID(b),
                                   m_scene.AtomID(bond.first), m_scene.AtomID(bond.second)));
    }

    // A smooth line through the C-alpha atoms of each unbroken run.
    // Atoms coloured by chain get a dark trace, so it stands out against them.
    // One smooth line through the polymer's backbone: C-alpha of amino
    // acids (modified ones written as HETATM included), P of nucleotides, or
    // C4' (C4* in old files) where a nucleotide has no P; broken where a
    // residue is missing.
    void AddTrace(DisplayList3D& list, const Chain& chain, Color chainColor) {
        Point3d::Array run;
        const Color color = m_options.coloring == Coloring::Chain ? Color(60, 60, 60) : chainColor;
        double reach = kTraceBreak;
        auto flush = [&] {
            if (run.GetSize() >= 2) {
                Point3d::Array curve;
                const Spline spline(Spline::CardinalSpline);
                const int n = spline.GetHermiteSpline(run, run.GetSize(), curve, nullptr, nullptr, 0, 6, 1.0);
                for (int k = 1; k < n; ++k) list.Add(LinePrimitive(curve[k - 1], curve[k], color, 3, 0));
            }
            run.RemoveAll();
        };
        const int end = chain.first + chain.count;
        for (int first = chain.first; first < end;) {
            // The residue: atoms of one number, insertion code and name.
            const Atom& head = m_s.atoms[static_cast<std::size_t>(first)];
            int last = first;
            while (last < end && m_s.atoms[static_cast<std::size_t>(last)].residueNumber == head.residueNumber &&
                   m_s.atoms[static_cast<std::size_t>(last)].insertionCode == head.insertionCode &&
                   m_s.atoms[static_cast<std::size_t>(last)].residueName == head.residueName)
                ++last;
            const Atom* backbone = nullptr;
            double step = kTraceBreak;
            if (head.residueKind == ResidueKind::Polymer) {
                for (const char* name : {"CA", "P", "C4'", "C4*"}) {
                    for (int i = first; i < last && !backbone; ++i) {
                        const Atom& a = m_s.atoms[static_cast<std::size_t>(i)];
                        if (a.name == name && a.element == (name[0] == 'P' ? "P" : "C")) backbone = &a;
                    }
                    if (backbone) {
                        step = name[1] == 'A' ? kTraceBreak : kNucleicTraceBreak;
                        break;
                    }
                }
            }
            first = last;
            if (!backbone) continue;
            if (run.GetSize() > 0 && (step != reach || run[run.GetUpperBound()].Distance(backbone->position) > step))
                flush();
            reach = step;
            run.Add(backbone->position);
        }
        flush();
    }

    // Per site: the polyhedron, the label, and in ball-and-stick a dashed
    // line to each ligand, half in the metal's colour and half in the ligand's.
    // With every label asked for, the donor atoms' labels follow the metals',
    // one per atom however many metals it binds.
    DisplayList3D MetalSiteList() const {
        DisplayList3D list;
        const auto label = [&](int atom, Color color) {
            const Atom& a = m_s.atoms[static_cast<std::size_t>(atom)];
            list.Add(Text3DPrimitive(AtomLabel(a).c_str(), a.position, 0.0, color, Font::DefaultFont(), 0));
        };
        int contact = 0;
        for (const MetalSite& site : m_scene.metals) {
            const Atom& metal = m_s.atoms[static_cast<std::size_t>(site.metal)];
            Point3d::Array corners;
            for (const Ligand& l : site.ligands) corners.Add(l.position);
            TetrahedronPrimitive::Array pieces;
            TetrahedronPrimitive::DecomposePolyhedron(pieces, corners);
            Color face = LookupElement(metal.element).GetColor();
            face.SetA(kPolyhedronTransparency);
            for (TetrahedronPrimitive& piece : pieces) {
                piece.SetColor(face);
                list.Add(piece);
            }
            if (m_options.labels != LabelSet::None) label(site.metal, Color(20, 20, 20));
            for (const Ligand& l : site.ligands) {
                if (m_options.style == Style::BallAndStick) {
                    const auto ligand = static_cast<std::size_t>(l.atom);
                    list.Add(DashedLinePrimitive(metal.position, m_colors[static_cast<std::size_t>(site.metal)],
                                                 l.position, m_colors[ligand], kContactWidth, kContactDashes, false,
                                                 m_scene.ContactID(contact)));
                    if (l.FromImage())
                        list.Add(SpherePrimitive(l.position,
                                                 kImageScale * SphereRadius(LookupElement(m_s.atoms[ligand].element),
                                                                            m_options.style),
                                                 m_colors[ligand], m_scene.ContactID(contact)));
                }
                ++contact;
            }
        }
        if (m_options.labels == LabelSet::All) {
            std::vector<bool> labelled(m_s.atoms.size(), false);
            for (const MetalSite& site : m_scene.metals) labelled[static_cast<std::size_t>(site.metal)] = true;
            for (const MetalSite& site : m_scene.metals)
                for (const Ligand& l : site.ligands)
                    if (!labelled[static_cast<std::size_t>(l.atom)]) {
                        labelled[static_cast<std::size_t>(l.atom)] = true;
                        label(l.atom, Color(80, 80, 80));
                    }
        }
        return list;
    }

    void AddTitle() {
        const std::string text = m_s.title.empty() ? TextAsUtf8(m_s.path) : m_s.title;
        const int margin = 12;
        TextCalloutPrimitive callout(static_cast<float>(m_options.width - 2 * margin), false, text.c_str(),
                                     Font::DefaultBigFont(), Point2d(margin, margin), true, Color(40, 40, 40), 1,
                                     true, Color(255, 255, 240), 0);
        m_scene.root.Add(callout);
    }

    // See kLegendTitle. Text strings are drawn 3 pixels inside their origin,
    // so each sits 3 pixels up and left of where its text is to start.
    void AddLegend() {
        const Font font = Font::DefaultFont();
        const Color ink(40, 40, 40);
        const double pad = 3.0, margin = 12.0, inset = 5.0, gap = 2.0, barHeight = 12.0;
        const TextMeasure measure;
        cairo_t* cr = measure.Context();
        SelectFont(cr, font);
        cairo_font_extents_t f;
        cairo_font_extents(cr, &f);
        const double textHeight = f.height + 2 * pad;
        const double barWidth = std::min(240.0, m_options.width - 2 * (margin + inset + pad));
        const double panelHeight = 2 * inset + 2 * textHeight + 2 * gap + barHeight;
        const double top = m_options.height - margin - panelHeight;
        if (barWidth < 60.0 || top < kTitleRoom) return;
        const double barLeft = margin + inset + pad, barTop = top + inset + textHeight + gap;
        m_scene.root.Add(RectanglePrimitive(Point2d(barWidth + 2 * (inset + pad), panelHeight), Point2d(margin, top),
                                            true, ink, 1, true, Color(255, 255, 240), 0));
        // Each sample overlaps the next by a pixel, so no seam shows between them.
        const double low = m_ramp.GetMinimum(), high = m_ramp.GetMaximum(), step = barWidth / kLegendSamples;
        for (int i = 0; i < kLegendSamples; ++i) {
            const double value = low + (high - low) * i / (kLegendSamples - 1);
            const double width = i + 1 < kLegendSamples ? step + 1.0 : step;
            m_scene.root.Add(RectanglePrimitive(Point2d(width, barHeight), Point2d(barLeft + step * i, barTop), false,
                                                ink, 0, true, m_ramp.CalculateColor(value), 0));
        }
        const auto text = [&](const std::string& t, double x, double y) {
            m_scene.root.Add(TextStringPrimitive(t.c_str(), font, Point2d(x - pad, y - pad), false, ink, 0, false,
                                                 Color(255, 255, 255), 0));
        };
        text(kLegendTitle, barLeft, top + inset + pad);
        const double numbersTop = barTop + barHeight + gap + pad;
        text(FormatValue(low), barLeft, numbersTop);
        const std::string highText = FormatValue(high);
        cairo_text_extents_t extents;
        cairo_text_extents(cr, highText.c_str(), &extents);
        text(highText, barLeft + barWidth - extents.x_advance, numbersTop);
    }

    // Two decimals, as B-factors are written, without trailing zeros.
    static std::string FormatValue(double v) {
        char text[64];
        std::snprintf(text, sizeof text, "%.2f", v);
        std::string s = text;
        while (s.find('.') != std::string::npos && (s.back() == '0' || s.back() == '.')) s.pop_back();
        return s == "-0" ? "0" : s;
    }

    const Structure& m_s;
    const SceneOptions& m_options;
    Scene& m_scene;
    std::vector<Color> m_colors;
    std::vector<Color> m_chainColors;  // by chain part
    ColorMapParameters m_ramp{"Blue-White-Red", false, 0.0, 1.0, 32};  // B-factor colours, shown by the legend
    double m_scale;                    // of the ellipsoids' semi-axes
};

}  // namespace

int MaxBonds(const std::string& element) {
    const ElementInfo& e = LookupElement(element);
    if (e.hydrogen) return 1;
    if (e.metal) return 12;  // close packing
    const std::string symbol = e.symbol;
    if (symbol == "C" || symbol == "N") return 4;
    return 6;
}

std::vector<Bond> FindBonds(const Structure& s) {
    const std::size_t n = s.atoms.size();
    std::vector<const ElementInfo*> info;
    std::vector<int> caps;
    info.reserve(n);
    caps.reserve(n);
    double largest = 0.0;
    for (const Atom& a : s.atoms) {
        info.push_back(&LookupElement(a.element));
        // A metal's contacts are its site's ligands, drawn apart, never bonds.
        caps.push_back(info.back()->metal ? 0 : MaxBonds(a.element));
        if (!info.back()->metal) largest = std::max(largest, info.back()->covalentRadius);
    }
    // The grid and the queries reach a little beyond the longest bond, so a
    // pair at exactly its limit is found from both of its atoms.
    const double slack = 0.01;
    AtomGrid grid(s, 2 * largest + kBondTolerance + slack);

    // Each atom's partners, nearest first and at most its cap, found one atom
    // at a time: memory follows the bonds kept, not the pairs looked at.
    std::vector<std::size_t> start(n + 1, 0);
    std::vector<int> partners, found;
    std::vector<std::pair<double, int>> candidates;
    for (std::size_t i = 0; i < n; ++i) {
        found.clear();
        candidates.clear();
        if (caps[i] > 0 && grid.Searched(static_cast<int>(i)))
            grid.Near(s.atoms[i].position, info[i]->covalentRadius + largest + kBondTolerance + slack, found);
        for (const int other : found) {
            const auto j = static_cast<std::size_t>(other);
            const double d = s.atoms[i].position.Distance(s.atoms[j].position);
            if (j != i && caps[j] > 0 && d > 0.4 &&
                d <= info[i]->covalentRadius + info[j]->covalentRadius + kBondTolerance)
                candidates.emplace_back(d, other);
        }
        const auto keep = std::min(candidates.size(), static_cast<std::size_t>(caps[i]));
        std::partial_sort(candidates.begin(), candidates.begin() + static_cast<std::ptrdiff_t>(keep), candidates.end());
        for (std::size_t k = 0; k < keep; ++k) partners.push_back(candidates[k].second);
        std::sort(partners.begin() + static_cast<std::ptrdiff_t>(start[i]), partners.end());
        start[i + 1] = partners.size();
    }
    // A bond needs each atom among the other's partners: whichever atom is
    // over its cap drops its farthest, and the result does not depend on the
    // order of the atoms.
    const auto partnerOf = [&](std::size_t atom, int other) {
        return std::binary_search(partners.begin() + static_cast<std::ptrdiff_t>(start[atom]),
                                  partners.begin() + static_cast<std::ptrdiff_t>(start[atom + 1]), other);
    };
    std::vector<Bond> bonds;
    for (std::size_t i = 0; i < n; ++i)
        for (std::size_t k = start[i]; k < start[i + 1]; ++k)
            if (static_cast<std::size_t>(partners[k]) > i && partnerOf(static_cast<std::size_t>(partners[k]), static_cast<int>(i)))
                bonds.push_back({static_cast<int>(i), partners[k]});
    return bonds;
}

int Scene::AtomOf(unsigned id) const {
    return id >= 1 && id <= static_cast<unsigned>(atomCount) ? static_cast<int>(id) - 1 : -1;
}

int Scene::BondOf(unsigned id) const {
    const unsigned first = static_cast<unsigned>(atomCount) + 1;
    return id >= first && id - first < bonds.size() ? static_cast<int>(id - first) : -1;
}

int Scene::ContactOf(unsigned id) const {
    const unsigned first = ContactID(0);
    return id >= first && id - first < contacts.size() ? static_cast<int>(id - first) : -1;
}

std::string Scene::Describe(const Structure& s, unsigned id) const {
    auto atomText = [&](int i) {
        const Atom& a = s.atoms[static_cast<std::size_t>(i)];
        // A small-molecule site's label is its name already.
        if (a.residueName.empty() && a.name != a.element) return "atom " + std::to_string(i + 1) + " " + a.ResidueLabel();
        return "atom " + std::to_string(i + 1) + " " + a.name + " " + a.ResidueLabel();
    };
    if (const int a = AtomOf(id); a >= 0) return atomText(a);
    if (const int b = BondOf(id); b >= 0) {
        const Bond& bond = bonds[static_cast<std::size_t>(b)];
        return "bond " + std::to_string(b + 1) + ": " + atomText(bond.first) + " - " + atomText(bond.second);
    }
    if (const int c = ContactOf(id); c >= 0) {
        const Contact& contact = contacts[static_cast<std::size_t>(c)];
        return "contact " + std::to_string(c + 1) + ": " + atomText(contact.first) + " - " + atomText(contact.second) +
               (contact.image.empty() ? "" : " (" + contact.image + ")");
    }
    return {};
}

double ProbabilityScale(double probability) {
    // The chi-square distribution with three degrees of freedom at r^2:
    // erf(r / sqrt 2) - sqrt(2 / pi) r exp(-r^2 / 2), rising in r; bisection
    // to double precision. P outside (0, 1) gives the ends of the range.
    const auto cdf = [](double r) { return std::erf(r / std::sqrt(2.0)) - std::sqrt(2.0 / std::acos(-1.0)) * r * std::exp(-r * r / 2); };
    double low = 0.0, high = 40.0;
    for (int step = 0; step < 200 && high - low > 1e-15; ++step) {
        const double middle = (low + high) / 2;
        (cdf(middle) < probability ? low : high) = middle;
    }
    return (low + high) / 2;
}

Scene BuildScene(const Structure& structure, const SceneOptions& options) {
    Scene scene;
    SceneBuilder(structure, options, scene).Build();
    return scene;
}

int BottomRoom(const DisplayList3D& root, int height) {
    double top = height;
    for (int i = 0; i < root.GetNumRectangles(); ++i) {
        const RectanglePrimitive& r = root.GetRectangle(i);
        const double y0 = std::min(r.GetOrigin().y, r.GetOrigin().y + r.GetSize().y);
        const double y1 = std::max(r.GetOrigin().y, r.GetOrigin().y + r.GetSize().y);
        if (y0 >= height * 2.0 / 3.0 && y1 <= height) top = std::min(top, y0);
    }
    return static_cast<int>(std::ceil(height - top));
}

void ApplySlab(DisplayList3D& root, const Point3d& centre, const Point3d& towardsViewer, double thickness) {
    Point3d n = towardsViewer;
    n.Normalize();
    const Point3d half = n * (thickness / 2);
    ForEachList(root, 0, [&](DisplayList3D& list, int) {
        list.SetClipPlane(0, Plane(centre - half, n));
        list.SetClipPlane(1, Plane(centre + half, -n));
        list.SetClipPlaneEnabled(0, true);
        list.SetClipPlaneEnabled(1, true);
        return 0;
    });
}

std::vector<std::pair<std::string, int>> CountPrimitives(const DisplayList3D& root) {
    std::map<std::string, int> counts;
    ForEachList(root, 0, [&](const DisplayList3D& list, int) {
#define TESSARY_SCENE_COUNT(Class, Plural, ...) counts[#Plural] += list.GetNum##Plural();
        TESSARY_DISPLAY_LIST_ARRAYS(TESSARY_SCENE_COUNT)
#undef TESSARY_SCENE_COUNT
        return 0;
    });
    std::vector<std::pair<std::string, int>> result;
#define TESSARY_SCENE_LIST(Class, Plural, ...) \
    if (counts[#Plural] > 0) result.emplace_back(#Plural, counts[#Plural]);
    TESSARY_DISPLAY_LIST_ARRAYS(TESSARY_SCENE_LIST)
#undef TESSARY_SCENE_LIST
    return result;
}

}  // namespace TessaryScene
