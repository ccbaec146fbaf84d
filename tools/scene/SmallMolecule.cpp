// gemmi's small-molecule reader pulls in its number formatter, which warns
// when built on the system's sprintf library; the reader never formats, so
// the standard one stands in.
#define USE_STD_SNPRINTF
#include "SmallMolecule.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <iostream>
#include <map>

#include <gemmi/smcif.hpp>

#include "Elements.h"
#include "Scene.h"

namespace TessaryScene {

namespace {

using Cell = std::array<long long, 3>;

bool HasTag(const gemmi::cif::Block& block, const char* tag) {
    return const_cast<gemmi::cif::Block&>(block).find_values(tag).item() != nullptr;
}

bool HasCoordinates(const gemmi::cif::Block& block) {
    return HasTag(block, "_atom_site.Cartn_x") || HasTag(block, "_atom_site_fract_x");
}

// The first value of the first tag the block has, trimmed; "" without any
// (or where the file writes "?" or ".", also as a text field).
std::string FirstValue(const gemmi::cif::Block& block, std::initializer_list<const char*> tags) {
    for (const char* tag : tags) {
        gemmi::cif::Column column = const_cast<gemmi::cif::Block&>(block).find_values(tag);
        if (column.item() == nullptr || column.length() == 0) continue;
        std::string value = gemmi::cif::as_string(column[0]);
        const std::size_t first = value.find_first_not_of(" \t\r\n");
        if (first == std::string::npos) continue;
        value = value.substr(first, value.find_last_not_of(" \t\r\n") - first + 1);
        if (value != "?" && value != ".") return value;
    }
    return {};
}

// The space group by its name, as gemmi reads it; else by the Hall symbol,
// the listed operations or the number. Null when none of them gives a
// tabulated group.
const gemmi::SpaceGroup* SpaceGroupOf(const gemmi::cif::Block& block, const gemmi::SmallStructure& st) {
    if (const gemmi::SpaceGroup* group = st.find_spacegroup()) return group;
    try {
        const std::string hall = FirstValue(block, {"_space_group_name_Hall", "_symmetry_space_group_name_Hall"});
        if (!hall.empty())
            if (const gemmi::SpaceGroup* group = gemmi::find_spacegroup_by_ops(gemmi::symops_from_hall(hall.c_str())))
                return group;
        for (const char* tag : {"_space_group_symop_operation_xyz", "_symmetry_equiv_pos_as_xyz"}) {
            gemmi::cif::Column column = const_cast<gemmi::cif::Block&>(block).find_values(tag);
            if (column.item() == nullptr) continue;
            std::vector<gemmi::Op> ops;
            for (const std::string& value : column) ops.push_back(gemmi::parse_triplet(gemmi::cif::as_string(value)));
            if (const gemmi::SpaceGroup* group = gemmi::find_spacegroup_by_ops(gemmi::split_centering_vectors(ops)))
                return group;
        }
    } catch (const std::exception&) {
        // A symbol or operation gemmi cannot parse leaves the group unknown.
    }
    const std::string number = FirstValue(block, {"_space_group_IT_number", "_symmetry_Int_Tables_number"});
    return number.empty() ? nullptr : gemmi::find_spacegroup_by_name(number);
}

// Keeps sites outside disorder groups and those of the first group seen;
// returns how many went.
int KeepFirstDisorderGroup(std::vector<gemmi::SmallStructure::Site>& sites) {
    int first = 0;
    for (const auto& site : sites)
        if (site.disorder_group != 0) {
            first = site.disorder_group;
            break;
        }
    const auto kept = std::remove_if(sites.begin(), sites.end(), [&](const gemmi::SmallStructure::Site& site) {
        return site.disorder_group != 0 && site.disorder_group != first;
    });
    const int leftOut = static_cast<int>(sites.end() - kept);
    sites.erase(kept, sites.end());
    return leftOut;
}

// gemmi reads anisotropic U alone; files written with B_ij (U times 8 pi^2)
// give the same tensor.
void ReadAnisotropicB(const gemmi::cif::Block& block, gemmi::SmallStructure& st) {
    gemmi::cif::Block& b = const_cast<gemmi::cif::Block&>(block);
    for (auto row : b.find("_atom_site_aniso_", {"label", "B_11", "B_22", "B_33", "B_12", "B_13", "B_23"})) {
        const std::string label = row.str(0);
        for (gemmi::SmallStructure::Site& site : st.sites) {
            if (site.label != label || site.aniso.nonzero()) continue;
            double u[6];
            for (int k = 0; k < 6; ++k) u[k] = gemmi::cif::as_number(row[k + 1], 0.0) / gemmi::u_to_b();
            site.aniso = {u[0], u[1], u[2], u[3], u[4], u[5]};
        }
    }
}

// An atom of the completed structure: site `site` moved by operation `op`
// and lattice translation `shift`, in molecule `molecule` (from 1).
struct Placed {
    int site;
    int op;
    std::array<int, 3> shift;
    gemmi::Fractional fract;
    gemmi::Position position;
    int molecule;
};

// Grows one molecule at a time from the first site no molecule holds yet,
// adding images bonded to its atoms until none is left: a molecule the
// asymmetric unit cuts in pieces (across a cell edge, or two halves of one
// molecule chosen apart) is drawn once, whole. The images of every site
// under every operation, moved into the cell, sit in a periodic grid of
// buckets at least a bond wide, so an atom's bonded images are found in
// the 27 buckets around it.
class Completion {
public:
    Completion(const gemmi::SmallStructure& st, const gemmi::SpaceGroup* group) : m_st(st) {
        if (group != nullptr)
            for (const gemmi::Op& op : group->operations()) m_ops.push_back(op);
        if (m_ops.empty()) m_ops.push_back(gemmi::Op::identity());
        double largest = 0;
        for (const auto& site : st.sites) {
            m_radius.push_back(LookupElement(site.element.name()).covalentRadius);
            largest = std::max(largest, m_radius.back());
        }
        m_reach = 2 * largest + kBondTolerance;
        for (int i = 0; i < 3; ++i)
            m_frac[i] = std::sqrt(gemmi::sq(st.cell.frac.mat[i][0]) + gemmi::sq(st.cell.frac.mat[i][1]) +
                                  gemmi::sq(st.cell.frac.mat[i][2]));
    }

    // Lattice planes closer than two thirds of the longest bond: no real
    // crystal (metals come near 1.2 bonds), and each atom would reach
    // many translations of every site.
    bool CellTooSmall() const { return m_reach * std::max({m_frac[0], m_frac[1], m_frac[2]}) > 1.5; }

    // More images than a small molecule's crystal has: completion would
    // cost more memory than the file is worth.
    bool TooManyImages() const { return m_ops.size() * m_st.sites.size() > kMaxImages; }

    // False when completion stopped at kMaxCompletionGrowth or the work allowed.
    bool Run() {
        Index();
        const int n = static_cast<int>(m_st.sites.size());
        const std::size_t limit = static_cast<std::size_t>(kMaxCompletionGrowth) * static_cast<std::size_t>(n);
        m_siteUsed.assign(m_st.sites.size(), false);
        std::size_t next = 0;
        for (int seed = 0; seed < n; ++seed) {
            if (m_siteUsed[static_cast<std::size_t>(seed)]) continue;
            const gemmi::Fractional f = m_st.sites[static_cast<std::size_t>(seed)].fract;
            if (m_placed.size() >= limit) return false;
            ++m_molecules;
            Place({seed, 0, {0, 0, 0}, f, m_st.cell.orthogonalize(f), m_molecules});
            for (; next < m_placed.size(); ++next)
                if (!Grow(m_placed[next], limit)) return false;
        }
        return true;
    }

    const std::vector<Placed>& Atoms() const { return m_placed; }
    int Molecules() const { return m_molecules; }
    const gemmi::Op& Operation(int op) const { return m_ops[static_cast<std::size_t>(op)]; }

private:
    static constexpr double kMinimumBondLength = 0.4;  // as FindBonds
    static constexpr std::size_t kMaxImages = std::size_t(1) << 20;  // 48 MB
    // Images looked at, at most: a second or so, whatever the file.
    static constexpr std::size_t kWorkLimit = std::size_t(50) << 20;
    static constexpr int kMaxBuckets = 64;  // along each axis

    // An image of a site moved into the cell: fractional coordinates in
    // [0, 1) and the lattice translation that moved it there.
    struct Image {
        int site;
        int op;
        std::array<double, 3> wrapped;
        std::array<int, 3> moved;
    };

    int Bucket(double wrapped, std::size_t axis) const {
        return std::clamp(static_cast<int>(wrapped * m_buckets[axis]), 0, m_buckets[axis] - 1);
    }

    void Index() {
        for (std::size_t i = 0; i < 3; ++i)
            m_buckets[i] = std::clamp(static_cast<int>(1.0 / (m_reach * m_frac[i])), 1, kMaxBuckets);
        std::vector<Image> images;
        images.reserve(m_ops.size() * m_st.sites.size());
        for (std::size_t op = 0; op < m_ops.size(); ++op)
            for (std::size_t s = 0; s < m_st.sites.size(); ++s) {
                const gemmi::Fractional& f = m_st.sites[s].fract;
                const std::array<double, 3> image = m_ops[op].apply_to_xyz({f.x, f.y, f.z});
                Image entry{static_cast<int>(s), static_cast<int>(op), {}, {}};
                for (std::size_t i = 0; i < 3; ++i) {
                    const double whole = std::floor(image[i]);
                    entry.wrapped[i] = std::min(image[i] - whole, std::nextafter(1.0, 0.0));
                    entry.moved[i] = -static_cast<int>(whole);
                }
                images.push_back(entry);
            }
        // Sorted into buckets (counting sort): m_start[b] is the first of bucket b.
        const auto bucketOf = [&](const Image& image) {
            return (Bucket(image.wrapped[0], 0) * m_buckets[1] + Bucket(image.wrapped[1], 1)) * m_buckets[2] +
                   Bucket(image.wrapped[2], 2);
        };
        m_start.assign(static_cast<std::size_t>(m_buckets[0] * m_buckets[1] * m_buckets[2]) + 1, 0);
        for (const Image& image : images) ++m_start[static_cast<std::size_t>(bucketOf(image)) + 1];
        for (std::size_t b = 1; b < m_start.size(); ++b) m_start[b] += m_start[b - 1];
        m_images.resize(images.size());
        std::vector<int> fill(m_start.begin(), m_start.end() - 1);
        for (const Image& image : images) m_images[static_cast<std::size_t>(fill[static_cast<std::size_t>(bucketOf(image))]++)] = image;
    }

    // Adds the images of every site bonded to `a` that are not there yet
    // (`a` is a copy: placing atoms may move the one it came from).
    bool Grow(const Placed a, std::size_t limit) {
        // The buckets around a's place in the cell, each once however few there are.
        std::array<std::vector<int>, 3> around;
        for (std::size_t i = 0; i < 3; ++i) {
            const double f = a.fract.at(static_cast<int>(i));
            const int centre = Bucket(f - std::floor(f), i);
            for (int k = -1; k <= 1; ++k) {
                const int b = ((centre + k) % m_buckets[i] + m_buckets[i]) % m_buckets[i];
                if (std::find(around[i].begin(), around[i].end(), b) == around[i].end()) around[i].push_back(b);
            }
        }
        for (const int bx : around[0])
            for (const int by : around[1])
                for (const int bz : around[2]) {
                    const auto bucket = static_cast<std::size_t>((bx * m_buckets[1] + by) * m_buckets[2] + bz);
                    m_work += static_cast<std::size_t>(m_start[bucket + 1] - m_start[bucket]) + 1;
                    if (m_work > kWorkLimit) return false;
                    for (int e = m_start[bucket]; e < m_start[bucket + 1]; ++e)
                        if (!Join(a, m_images[static_cast<std::size_t>(e)], limit)) return false;
                }
        return true;
    }

    // Places the translations of `image` bonded to `a`.
    bool Join(const Placed& a, const Image& image, std::size_t limit) {
        const auto s = static_cast<std::size_t>(image.site);
        const double bond = m_radius[static_cast<std::size_t>(a.site)] + m_radius[s] + kBondTolerance;
        std::array<int, 3> low{}, high{};
        for (std::size_t i = 0; i < 3; ++i) {
            const double d = a.fract.at(static_cast<int>(i)) - image.wrapped[i];
            low[i] = static_cast<int>(std::ceil(d - bond * m_frac[i]));
            high[i] = static_cast<int>(std::floor(d + bond * m_frac[i]));
        }
        for (int x = low[0]; x <= high[0]; ++x)
            for (int y = low[1]; y <= high[1]; ++y)
                for (int z = low[2]; z <= high[2]; ++z) {
                    const gemmi::Fractional f(image.wrapped[0] + x, image.wrapped[1] + y, image.wrapped[2] + z);
                    const gemmi::Position p = m_st.cell.orthogonalize(f);
                    const double d = p.dist(a.position);
                    if (d <= kMinimumBondLength || d > bond || Find(p) >= 0) continue;
                    if (m_placed.size() >= limit) return false;
                    const std::array<int, 3> shift = {image.moved[0] + x, image.moved[1] + y, image.moved[2] + z};
                    Place({image.site, image.op, shift, f, p, a.molecule});
                }
        return true;
    }

    static Cell CellOf(const gemmi::Position& p) {
        const auto index = [](double v) { return static_cast<long long>(std::floor(std::clamp(v, -1e15, 1e15))); };
        return {index(p.x), index(p.y), index(p.z)};
    }

    // The placed atom within kCoincidence of p, or -1.
    int Find(const gemmi::Position& p) const {
        const Cell c = CellOf(p);
        for (long long dx = -1; dx <= 1; ++dx)
            for (long long dy = -1; dy <= 1; ++dy)
                for (long long dz = -1; dz <= 1; ++dz) {
                    const auto found = m_grid.find({c[0] + dx, c[1] + dy, c[2] + dz});
                    if (found == m_grid.end()) continue;
                    for (int i : found->second)
                        if (m_placed[static_cast<std::size_t>(i)].position.dist_sq(p) < kCoincidence * kCoincidence) return i;
                }
        return -1;
    }

    void Place(const Placed& atom) {
        m_grid[CellOf(atom.position)].push_back(static_cast<int>(m_placed.size()));
        m_placed.push_back(atom);
        m_siteUsed[static_cast<std::size_t>(atom.site)] = true;
    }

    const gemmi::SmallStructure& m_st;
    std::vector<gemmi::Op> m_ops;
    std::vector<double> m_radius;  // covalent, by site
    double m_reach = 0;            // the longest bond possible
    double m_frac[3] = {1, 1, 1};  // lengths of the rows of the fractionalisation matrix
    int m_buckets[3] = {1, 1, 1};
    std::vector<int> m_start;      // of each bucket in m_images, and the end
    std::vector<Image> m_images;
    std::vector<Placed> m_placed;
    std::vector<bool> m_siteUsed;  // some image of the site is placed
    int m_molecules = 0;
    std::size_t m_work = 0;  // images looked at
    std::map<Cell, std::vector<int>> m_grid;  // placed atoms by 1-angstrom cell
};

// U of the site in Cartesian square angstroms: the CIF gives U relative to
// the reciprocal axes, U_cart = A N U N^T A^T with N = diag(a*, b*, c*).
gemmi::SMat33<double> CartesianU(const gemmi::UnitCell& cell, const gemmi::SMat33<double>& u) {
    gemmi::Mat33 an = cell.orth.mat;
    const double n[3] = {cell.ar, cell.br, cell.cr};
    for (int row = 0; row < 3; ++row)
        for (int column = 0; column < 3; ++column) an[row][column] *= n[column];
    return u.transformed_by(an);
}

}  // namespace

const gemmi::cif::Block& CoordinateBlock(const gemmi::cif::Document& doc, const std::string& path) {
    if (doc.blocks.empty()) throw InputError("no data block in " + path + " (not a CIF file?)");
    const gemmi::cif::Block* first = nullptr;
    int withCoordinates = 0;
    for (const gemmi::cif::Block& block : doc.blocks)
        if (HasCoordinates(block)) {
            if (first == nullptr) first = &block;
            ++withCoordinates;
        }
    if (first == nullptr)
        throw InputError("no atom coordinates in " + path + " (neither _atom_site.Cartn_x nor _atom_site_fract_x)");
    if (withCoordinates > 1)
        std::cerr << "tessary-scene: " << path << ": " << withCoordinates << " data blocks hold atom coordinates; data_"
                  << TextAsUtf8(first->name) << " (the first) is read\n";
    return *first;
}

bool IsSmallMoleculeBlock(const gemmi::cif::Block& block) {
    return !HasTag(block, "_atom_site.Cartn_x") && HasTag(block, "_atom_site_fract_x");
}

Structure ReadSmallMolecule(const gemmi::cif::Block& block, const std::string& path) {
    gemmi::SmallStructure st = gemmi::make_small_structure_from_block(block);
    ReadAnisotropicB(block, st);
    if (!st.cell.is_crystal())
        throw InputError(path + ": fractional coordinates without a cell (_cell_length_a, _b, _c and the angles)");
    bool finite = std::isfinite(st.cell.volume) && st.cell.volume > 0;
    for (int i = 0; i < 3; ++i)
        for (int j = 0; j < 3; ++j) finite = finite && std::isfinite(st.cell.orth.mat[i][j]) && std::isfinite(st.cell.frac.mat[i][j]);
    if (!finite) throw InputError(path + ": the cell has no volume (check _cell_length_* and _cell_angle_*)");
    Structure s;
    s.path = path;
    s.modelCount = 1;
    s.title = TextAsUtf8(FirstValue(block, {"_chemical_name_systematic", "_chemical_name_common", "_chemical_formula_sum"}));
    if (s.title.empty()) s.title = TextAsUtf8(st.name);
    s.alternativesLeftOut = KeepFirstDisorderGroup(st.sites);
    if (st.sites.empty()) throw InputError("no atoms in " + path);
    // Sites far outside the cell are broken input: their translations would not fit an int.
    for (const auto& site : st.sites)
        for (double f : {site.fract.x, site.fract.y, site.fract.z})
            if (!(std::fabs(f) < 1000))
                throw InputError(path + ": site " + TextAsUtf8(site.label) + " has a fractional coordinate beyond 1000");
    const gemmi::SpaceGroup* group = SpaceGroupOf(block, st);
    s.crystal = CrystalOf(st.cell, group);
    Completion completion(st, group);
    if (completion.CellTooSmall())
        throw InputError(path + ": the cell is too small for its atoms (lattice planes closer than two thirds of a bond)");
    if (completion.TooManyImages())
        throw InputError(path + ": " + std::to_string(st.sites.size()) + " sites in " + s.crystal.spaceGroup +
                         " are more than a small-molecule crystal holds (read it as mmCIF)");
    if (group == nullptr)
        std::cerr << "tessary-scene: " << path
                  << ": space group unknown (no name, Hall symbol, operations or number gemmi knows); "
                     "the asymmetric unit is drawn as it is\n";
    if (!completion.Run())
        std::cerr << "tessary-scene: " << path << ": symmetry completion stopped at " << completion.Atoms().size()
                  << " atoms (at most " << kMaxCompletionGrowth
                  << " times the asymmetric unit, and bounded work): a polymeric structure?\n";
    // A molecule's atoms are placed together, so the atoms come grouped by molecule.
    for (const Placed& p : completion.Atoms()) {
        const auto& site = st.sites[static_cast<std::size_t>(p.site)];
        Atom atom;
        atom.name = TextAsUtf8(site.label);
        atom.element = ElementSymbolCase(site.element.name());
        atom.residueNumber = p.molecule;
        atom.position = Tessary::Point3d(p.position.x, p.position.y, p.position.z);
        atom.bFactor = gemmi::u_to_b() * site.u_iso;
        atom.hasAniso = site.aniso.nonzero();
        if (atom.hasAniso) {
            const gemmi::Transform t = st.cell.op_as_transform(completion.Operation(p.op));
            const gemmi::SMat33<double> u = CartesianU(st.cell, site.aniso).transformed_by(t.mat);
            atom.u = {u.u11, u.u22, u.u33, u.u12, u.u13, u.u23};
        }
        if (p.op != 0 || p.shift != std::array<int, 3>{0, 0, 0}) {
            gemmi::Op op = completion.Operation(p.op);
            for (int k = 0; k < 3; ++k) op.tran[static_cast<std::size_t>(k)] += p.shift[static_cast<std::size_t>(k)] * gemmi::Op::DEN;
            atom.symmetry = op.triplet();
        }
        RequireFiniteNumbers(atom, path + ": site " + atom.name);
        s.atoms.push_back(std::move(atom));
    }
    s.asymmetricSites = static_cast<int>(st.sites.size());
    s.molecules = completion.Molecules();
    return s;
}

}  // namespace TessaryScene
