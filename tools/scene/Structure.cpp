#include "Structure.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>
#include <zlib.h>

#include <algorithm>
#include <array>
#include <cctype>
#include <cerrno>
#include <cstdint>
#include <cstring>
#include <iostream>
#include <map>
#include <new>
#include <string_view>
#include <unordered_map>
#include <utility>

#define GEMMI_READ_COOR_IMPLEMENTATION
#include <gemmi/assembly.hpp>
#include <gemmi/read_coor.hpp>

#include "AtomGrid.h"
#include "SmallMolecule.h"

namespace TessaryScene {

using Tessary::Point3d;

namespace {

bool EndsWith(const std::string& s, const std::string& tail) {
    return s.size() >= tail.size() && s.compare(s.size() - tail.size(), tail.size(), tail) == 0;
}

std::string Lower(std::string s) {
    for (char& c : s) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    return s;
}

void GroupChains(Structure& s) {
    for (std::size_t i = 0; i < s.atoms.size(); ++i) {
        if (s.chains.empty() || s.chains.back().name != s.atoms[i].chain)
            s.chains.push_back({s.atoms[i].chain, static_cast<int>(i), 0});
        ++s.chains.back().count;
    }
}

// Calls f(start, length) for each line of `text`, the length without its
// line end (\n or \r\n).
template <class F>
void ForEachLine(const std::string& text, F&& f) {
    std::size_t start = 0;
    while (start < text.size()) {
        std::size_t end = text.find('\n', start);
        if (end == std::string::npos) end = text.size();
        const std::size_t length = end > start && text[end - 1] == '\r' ? end - start - 1 : end - start;
        f(start, length);
        start = end + 1;
    }
}

// Whether the text from `p` (`left` bytes to its end) starts with `record`.
bool StartsWith(const char* p, std::size_t left, const char* record, std::size_t size) {
    return left >= size && std::memcmp(p, record, size) == 0;
}

// Files of the old format carry an entry code and line number in columns
// 73-80, where newer ones keep the element and the charge; read literally
// those would give a bad charge ("Wrong format for charge") or a numeric
// element. Such columns of a coordinate line are blanked, so the element
// comes from the atom name.
void BlankOldSerial(char* p, std::size_t length) {
    // The charge forms gemmi accepts: blank, "2+", "+2", "2 ".
    auto isCharge = [](char digit, char sign) {
        auto isDigit = [](char c) { return std::isdigit(static_cast<unsigned char>(c)) != 0; };
        if (isDigit(sign)) std::swap(digit, sign);
        return !isDigit(digit) || sign == '+' || sign == '-' || std::isspace(static_cast<unsigned char>(sign)) != 0;
    };
    // The entry code in columns 73-76 goes with the line number: read
    // as a segment ID it would name the chain of a blank-chain file.
    if (length >= 80 && !isCharge(p[78], p[79])) std::memset(p + 72, ' ', 8);
}

// A residue as FourthLetters keys it: the fields gemmi reads from the
// columns (a name of up to three letters, a segment of up to four), packed
// so that hashing and comparing cost no string work.
struct ResidueKey {
    std::uint64_t low = 0, high = 0;  // number and insertion code; name and segment

    // False for a residue no repaired line can have made.
    static bool Of(const gemmi::ResidueId& id, ResidueKey& key) {
        if (id.name.size() > 3 || id.segment.size() > 4) return false;
        const std::int32_t number = id.seqid.num.value;
        std::uint32_t bits;
        std::memcpy(&bits, &number, sizeof bits);
        key.low = std::uint64_t{bits} << 8 | static_cast<unsigned char>(id.seqid.icode);
        char text[8] = {};
        std::memcpy(text, id.name.data(), id.name.size());
        std::memcpy(text + 3, id.segment.data(), id.segment.size());
        text[7] = static_cast<char>(id.segment.size() | id.name.size() << 3);  // "A" and "A\0" stay apart
        std::memcpy(&key.high, text, sizeof text);
        return true;
    }
    bool operator==(const ResidueKey& other) const { return low == other.low && high == other.high; }
};

struct ResidueKeyHash {
    std::size_t operator()(const ResidueKey& key) const {
        return static_cast<std::size_t>((key.low * 0x9E3779B97F4A7C15ull) ^ (key.high * 0xC2B2AE3D27D4EB4Full));
    }
};

using FourthLetterMap = std::unordered_map<ResidueKey, char, ResidueKeyHash>;

// Simulation programs write four-letter residue names (TIP3, POPC, HSD) in
// columns 18-21 and leave the chain in column 22 blank; gemmi reads only
// columns 18-20 as the name and takes column 21 into the chain, so the water
// of a solvated box would come out as a chain "3". Where column 21 continues
// a three-letter name and column 22 is blank, the fourth letter is taken out
// of the text and kept by the residue gemmi will read the line into (a
// blank chain, the segment, number and three letters). A two-letter chain
// name right-aligned in columns 21-22 keeps column 22, so it stays as it is.
class FourthLetters {
public:
    // One coordinate line (ATOM, HETATM: `atom`; or ANISOU).
    void Take(char* p, std::size_t length, bool atom) {
        const auto graphic = [](char c) { return std::isgraph(static_cast<unsigned char>(c)) != 0; };
        if (length < 22 || !graphic(p[17]) || !graphic(p[18]) || !graphic(p[19]) ||
            std::isalnum(static_cast<unsigned char>(p[20])) == 0 || p[21] != ' ')
            return;
        if (atom) Keep(p, length);
        p[20] = ' ';
    }

    FourthLetterMap Release() { return std::move(m_fourth); }

private:
    void Keep(const char* p, std::size_t length) {
        // The fields as gemmi parses them, from a copy padded to 80 columns.
        char line[81];
        const std::size_t copied = std::min<std::size_t>(length, 80);
        std::memcpy(line, p, copied);
        std::memset(line + copied, ' ', 80 - copied);
        line[80] = '\0';
        // The atoms of a residue come one after another: a line whose
        // residue columns repeat the last one's gives the same residue.
        char key[sizeof m_last];
        std::memcpy(key, line + 17, 10);
        std::memcpy(key + 10, line + 72, 4);
        if (m_any && std::memcmp(key, m_last, sizeof key) == 0) return;
        std::memcpy(m_last, key, sizeof key);
        m_any = true;
        gemmi::ResidueId id = gemmi::pdb_impl::read_res_id(line + 22, line + 17);
        if (length > 72) id.segment = gemmi::pdb_impl::read_string(line + 72, 4);
        ResidueKey residue;
        if (ResidueKey::Of(id, residue)) m_fourth.emplace(residue, p[20]);
    }

    FourthLetterMap m_fourth;
    char m_last[14] = {};  // columns 18-27 and 73-76 of the last line kept
    bool m_any = false;
};

// The repairs of PDB text before gemmi reads it, in one pass over its lines;
// returns the fourth letters taken out of residue names.
FourthLetterMap RepairPdbText(std::string& text) {
    FourthLetters fourth;
    ForEachLine(text, [&](std::size_t start, std::size_t length) {
        char* p = &text[start];
        const std::size_t left = text.size() - start;
        const bool atom = StartsWith(p, left, "ATOM", 4) || StartsWith(p, left, "HETATM", 6);
        if (!atom && !StartsWith(p, left, "ANISOU", 6)) return;
        BlankOldSerial(p, length);
        fourth.Take(p, length, atom);
    });
    return fourth.Release();
}

// Gives back the letters FourthLetters took; only blank chains hold them.
void RestoreFourthLetters(gemmi::Structure& st, const FourthLetterMap& fourth) {
    if (fourth.empty()) return;
    for (gemmi::Model& model : st.models)
        for (gemmi::Chain& chain : model.chains) {
            if (!chain.name.empty()) continue;
            for (gemmi::Residue& residue : chain.residues) {
                ResidueKey key;
                if (!ResidueKey::Of(residue, key)) continue;
                const auto found = fourth.find(key);
                if (found != fourth.end()) residue.name += found->second;
            }
        }
}

bool IsWaterName(const std::string& name) {
    static constexpr std::string_view kNames[] = {"HOH", "DOD", "H2O", "WAT", "SOL", "TIP", "TIP3", "TIP4", "TIP5",
                                                  "T3P", "T4P", "T5P", "SPC", "SPCE"};
    const std::string_view n = name;
    return std::any_of(std::begin(kNames), std::end(kNames), [&](std::string_view water) { return n == water; });
}

// `text` as UTF-8 into `to`; ASCII, as nearly every name is, is copied as it is.
void AssignUtf8(std::string& to, const std::string& text) {
    if (std::all_of(text.begin(), text.end(), [](char c) { return static_cast<unsigned char>(c) < 0x80; })) to = text;
    else to = TextAsUtf8(text);
}

// The symbol of each of gemmi's elements as atoms carry it ("Fe").
const std::string& SymbolOf(gemmi::El element) {
    static const auto symbols = [] {
        std::array<std::string, static_cast<std::size_t>(gemmi::El::END)> table;
        for (std::size_t i = 0; i < table.size(); ++i)
            table[i] = ElementSymbolCase(gemmi::Element(static_cast<gemmi::El>(i)).name());
        return table;
    }();
    return symbols[static_cast<std::size_t>(element)];
}

// Waters by entity or name. Polymer needs evidence of its own, a known
// amino acid or nucleotide or a backbone (N and CA, or C4' with P or written
// as ATOM): a TER
// closing a whole simulation box marks its ions as polymer, and simulation
// files name protonation states (HSD) and termini their own way. Ligands are
// the rest, and what the file calls non-polymer (mmCIF entities, PDB parts
// after TER) unless written as ATOM records: a chain resumed after a TER.
ResidueKind KindOf(const gemmi::Residue& residue) {
    if (residue.entity_type == gemmi::EntityType::Water || IsWaterName(residue.name)) return ResidueKind::Water;
    if ((residue.entity_type == gemmi::EntityType::NonPolymer || residue.entity_type == gemmi::EntityType::Branched) &&
        residue.het_flag != 'A')
        return ResidueKind::Ligand;
    const gemmi::ResidueInfo info = gemmi::find_tabulated_residue(residue.name);
    if (info.is_amino_acid() || info.is_nucleic_acid()) return ResidueKind::Polymer;
    const auto has = [&](const char* name) {
        return std::any_of(residue.atoms.begin(), residue.atoms.end(), [&](const gemmi::Atom& a) { return a.name == name; });
    };
    // A strand's 5' nucleotide has no phosphate, and old files name thymidine "T".
    const bool sugar = has("C4'") || has("C4*");
    if ((has("N") && has("CA")) || (sugar && (has("P") || residue.het_flag == 'A'))) return ResidueKind::Polymer;
    return ResidueKind::Ligand;
}

// Alternative conformations keep their first; returns the atoms left out.
// Only atoms with an alternative-location mark are ever left out: residue
// numbers that wrap past 9999 in a simulation box make gemmi merge residues
// whose atom names repeat, and every one of those atoms is real.
// Within a residue a marked atom stays when its mark is the first one seen
// for its name. A residue number repeated in a chain with marks is a point
// mutation: marks other than the first one seen for that number go. Old
// files number ligands and waters like the protein (HEM A 1 beside VAL A 1)
// without marks, and those stay.
int KeepFirstConformation(gemmi::Model& model) {
    int leftOut = 0;
    const bool marked = std::any_of(model.chains.begin(), model.chains.end(), [](const gemmi::Chain& chain) {
        return std::any_of(chain.residues.begin(), chain.residues.end(), [](const gemmi::Residue& residue) {
            return std::any_of(residue.atoms.begin(), residue.atoms.end(),
                               [](const gemmi::Atom& a) { return a.altloc != '\0'; });
        });
    });
    for (gemmi::Chain& chain : model.chains) {
        if (!marked) {
            chain.residues.erase(std::remove_if(chain.residues.begin(), chain.residues.end(),
                                                [](const gemmi::Residue& r) { return r.atoms.empty(); }),
                                 chain.residues.end());
            continue;
        }
        std::map<gemmi::SeqId, char> firstMark;  // per residue number, '\0' until a mark is seen
        for (gemmi::Residue& residue : chain.residues) {
            auto number = firstMark.find(residue.seqid);
            const bool repeated = number != firstMark.end();
            if (!repeated) number = firstMark.emplace(residue.seqid, '\0').first;
            std::map<std::string, char> firstByName;
            std::vector<gemmi::Atom>& atoms = residue.atoms;
            const auto kept = std::remove_if(atoms.begin(), atoms.end(), [&](const gemmi::Atom& a) {
                if (a.altloc == '\0') return false;
                if (number->second == '\0') number->second = a.altloc;
                if (repeated && a.altloc != number->second) return true;
                return firstByName.emplace(a.name, a.altloc).first->second != a.altloc;
            });
            leftOut += static_cast<int>(atoms.end() - kept);
            atoms.erase(kept, atoms.end());
        }
        chain.residues.erase(std::remove_if(chain.residues.begin(), chain.residues.end(),
                                            [](const gemmi::Residue& r) { return r.atoms.empty(); }),
                             chain.residues.end());
    }
    return leftOut;
}

Point3d Row(const gemmi::Mat33& m, int i) { return Point3d(m[i][0], m[i][1], m[i][2]); }

}  // namespace

Crystal CrystalOf(const gemmi::UnitCell& cell, const gemmi::SpaceGroup* group) {
    Crystal crystal;
    if (!cell.is_crystal() || group == nullptr) return crystal;
    crystal.spaceGroup = group->hm;
    for (int i = 0; i < 3; ++i) {
        crystal.edges[static_cast<std::size_t>(i)] = Point3d(cell.orth.mat[0][i], cell.orth.mat[1][i], cell.orth.mat[2][i]);
        crystal.toFractional[static_cast<std::size_t>(i)] = Row(cell.frac.mat, i);
    }
    for (const gemmi::Op& op : group->operations()) {
        const gemmi::Transform t = cell.op_as_transform(op);
        static_assert(gemmi::Op::DEN == 24, "fractional operations are kept in 24ths");
        crystal.operations.push_back({op.triplet(), {Row(t.mat, 0), Row(t.mat, 1), Row(t.mat, 2)},
                                      Point3d(t.vec.x, t.vec.y, t.vec.z), op.rot, op.tran});
    }
    return crystal;
}

namespace {

Structure FromGemmi(gemmi::Structure& st, const std::string& path, int model) {
    Structure s;
    s.path = path;
    s.modelCount = static_cast<int>(st.models.size());
    s.model = model;
    if (s.modelCount == 0) throw InputError("no atoms in " + path);
    if (model < 1 || model > s.modelCount)
        throw InputError(path + " has " + std::to_string(s.modelCount) + " model(s); model " +
                         std::to_string(model) + " was asked for");
    s.title = st.get_info("_struct.title");
    if (s.title.empty()) s.title = st.get_info("_entry.id");
    if (s.title.empty()) s.title = st.name;
    s.title = TextAsUtf8(s.title);
    s.crystal = CrystalOf(st.cell, st.find_spacegroup());
    gemmi::Model& m = st.models[static_cast<std::size_t>(model - 1)];
    s.alternativesLeftOut = KeepFirstConformation(m);
    auto insertion = [](const gemmi::AtomAddress& a) { return a.res_id.seqid.icode == '\0' ? ' ' : a.res_id.seqid.icode; };
    auto range = [&](SecondaryRange::Kind kind, const gemmi::AtomAddress& b, const gemmi::AtomAddress& e, int helixClass) {
        s.secondaryRanges.push_back({kind, TextAsUtf8(b.chain_name), b.res_id.seqid.num.value, insertion(b),
                                     e.res_id.seqid.num.value, insertion(e), helixClass});
    };
    for (const gemmi::Helix& h : st.helices)
        range(SecondaryRange::Kind::Helix, h.start, h.end, static_cast<int>(h.pdb_helix_class));
    for (const gemmi::Sheet& sheet : st.sheets)
        for (const gemmi::Sheet::Strand& strand : sheet.strands)
            range(SecondaryRange::Kind::Strand, strand.start, strand.end, 0);
    std::size_t count = 0;
    for (const gemmi::Chain& chain : m.chains)
        for (const gemmi::Residue& residue : chain.residues) count += residue.atoms.size();
    s.atoms.reserve(count);
    for (const gemmi::Chain& chain : m.chains) {
        const std::string chainName = TextAsUtf8(chain.name);
        for (const gemmi::Residue& residue : chain.residues) {
            const std::string residueName = TextAsUtf8(residue.name);
            const std::string atomChain = chainName.empty() ? TextAsUtf8(residue.segment) : chainName;
            const ResidueKind kind = KindOf(residue);
            for (const gemmi::Atom& a : residue.atoms) {
                Atom& atom = s.atoms.emplace_back();
                AssignUtf8(atom.name, a.name);
                atom.element = SymbolOf(a.element.elem);
                atom.residueName = residueName;
                atom.residueNumber = residue.seqid.num.value;
                // A label holds the code as one character: one outside ASCII
                // would make it invalid UTF-8, so it shows as '?'.
                const auto code = static_cast<unsigned char>(residue.seqid.icode);
                atom.insertionCode = code == '\0' ? ' ' : code >= 0x80 ? '?' : residue.seqid.icode;
                atom.chain = atomChain;
                atom.residueKind = kind;
                atom.position = Point3d(a.pos.x, a.pos.y, a.pos.z);
                atom.bFactor = a.b_iso;
                atom.hetero = residue.het_flag == 'H';
                atom.hasAniso = a.aniso.nonzero();
                atom.u = {a.aniso.u11, a.aniso.u22, a.aniso.u33, a.aniso.u12, a.aniso.u13, a.aniso.u23};
                if (!HasFiniteNumbers(atom)) RequireFiniteNumbers(atom, path + ": atom " + std::to_string(a.serial));
            }
        }
    }
    return s;
}

// The copies a file asks for beyond its coordinates. Assembly `assembly`
// (from 1) is built from its operators, chains renamed apart; without one,
// NCS operations whose copies are not given generate them (an assembly's
// operators already include those). Returns whether copies were made.
bool MakeCopies(gemmi::Structure& st, const std::string& path, int assembly) {
    if (assembly > 0) {
        const int count = static_cast<int>(st.assemblies.size());
        if (assembly > count) {
            std::string choices;
            for (int k = 0; k < count; ++k) {
                const gemmi::Assembly& a = st.assemblies[static_cast<std::size_t>(k)];
                choices += (k ? ", " : "") + std::to_string(k + 1);
                const std::string& details = a.oligomeric_details.empty() ? a.name : a.oligomeric_details;
                if (!details.empty()) choices += " (" + TextAsUtf8(details) + ")";
            }
            throw InputError(count == 0 ? path + " lists no assemblies (REMARK 350 or pdbx_struct_assembly); assembly " +
                                              std::to_string(assembly) + " was asked for"
                                        : path + " has " + std::to_string(count) + " assemblies: " + choices +
                                              "; assembly " + std::to_string(assembly) + " was asked for");
        }
        const gemmi::Assembly& chosen = st.assemblies[static_cast<std::size_t>(assembly - 1)];
        for (gemmi::Model& model : st.models)
            model = gemmi::make_assembly(chosen, model, gemmi::HowToNameCopiedChain::Short, nullptr);
        return true;
    }
    // An identity left unmarked would copy the model onto itself.
    for (gemmi::NcsOp& op : st.ncs)
        if (op.tr.is_identity()) op.given = true;
    const auto generated = std::count_if(st.ncs.begin(), st.ncs.end(), [](const gemmi::NcsOp& op) { return !op.given; });
    if (generated == 0) return false;
    gemmi::expand_ncs(st, gemmi::HowToNameCopiedChain::Short);
    std::cerr << "tessary-scene: " << path << ": " << generated
              << " NCS cop" << (generated == 1 ? "y" : "ies")
              << " not given in the file generated from its operations, as chains of their own\n";
    return true;
}

// Copies of an atom that lies on an axis of the copying operations land on
// the atom itself (an ion on a five-fold axis five times over): one stays.
void DropCoincidentCopies(Structure& s) {
    constexpr double kSamePlace = 0.2;
    AtomGrid grid(s, 1.0);
    std::vector<bool> drop(s.atoms.size(), false);
    std::vector<int> found;
    for (std::size_t i = 0; i < s.atoms.size(); ++i) {
        const Atom& a = s.atoms[i];
        found.clear();
        if (grid.Searched(static_cast<int>(i))) grid.Near(a.position, kSamePlace, found);
        for (const int j : found) {
            const Atom& b = s.atoms[static_cast<std::size_t>(j)];
            if (static_cast<std::size_t>(j) < i && !drop[static_cast<std::size_t>(j)] && b.chain != a.chain &&
                b.name == a.name && b.element == a.element && b.residueName == a.residueName &&
                b.residueNumber == a.residueNumber && b.insertionCode == a.insertionCode) {
                drop[i] = true;
                break;
            }
        }
    }
    std::size_t kept = 0;
    for (std::size_t i = 0; i < s.atoms.size(); ++i) {
        if (drop[i]) continue;
        if (kept != i) s.atoms[kept] = std::move(s.atoms[i]);
        ++kept;
    }
    s.atoms.resize(kept);
}

std::string Megabytes(int megabytes) { return std::to_string(megabytes) + " MB"; }

// An open file descriptor, closed when it goes.
class OpenFile {
public:
    explicit OpenFile(const std::string& path) : m_fd(open(path.c_str(), O_RDONLY | O_CLOEXEC)) {
        if (m_fd < 0) throw InputError("cannot open " + path + ": " + std::strerror(errno));
        if (fstat(m_fd, &m_info) != 0) {
            const int error = errno;
            close(m_fd);
            throw InputError("cannot read " + path + ": " + std::strerror(error));
        }
        if (S_ISDIR(m_info.st_mode)) {
            close(m_fd);
            throw InputError(path + " is a directory, not a structure file");
        }
    }
    ~OpenFile() { close(m_fd); }
    OpenFile(const OpenFile&) = delete;
    OpenFile& operator=(const OpenFile&) = delete;

    int Descriptor() const { return m_fd; }
    const struct stat& Info() const { return m_info; }

private:
    int m_fd;
    struct stat m_info {};
};

// The bytes of a file, at most `limit`.
std::string ReadBytes(const std::string& path, std::size_t limit, int megabytes) {
    const OpenFile file(path);
    const struct stat& info = file.Info();
    const auto tooLarge = [&] {
        return InputError(path + " is larger than " + Megabytes(megabytes) + " (--max-input-mb raises the limit)");
    };
    // A regular file is read straight into the text; anything more (a
    // growing file, a pipe) goes through the buffer.
    std::string bytes;
    if (S_ISREG(info.st_mode)) {
        if (static_cast<std::uintmax_t>(info.st_size) > limit) throw tooLarge();
        bytes.resize(static_cast<std::size_t>(info.st_size));
    }
    std::size_t size = 0;
    char buffer[1 << 16];
    for (;;) {
        const bool direct = size < bytes.size();
        char* into = direct ? &bytes[size] : buffer;
        const ssize_t n = read(file.Descriptor(), into, direct ? bytes.size() - size : sizeof buffer);
        if (n < 0 && errno == EINTR) continue;
        if (n < 0) throw InputError("cannot read " + path + ": " + std::strerror(errno));
        if (n == 0) break;
        if (size + static_cast<std::size_t>(n) > limit) throw tooLarge();
        if (!direct) bytes.append(buffer, static_cast<std::size_t>(n));
        size += static_cast<std::size_t>(n);
    }
    bytes.resize(size);  // a file that shrank while read
    return bytes;
}

bool GzipMagic(const unsigned char* p, std::size_t size) { return size >= 2 && p[0] == 0x1f && p[1] == 0x8b; }

// Inflates every gzip member of `packed`, stopping as soon as the text
// passes `limit`: the size field of the gzip trailer is not to be trusted.
std::string Gunzip(const std::string& path, const std::string& packed, std::size_t limit, int megabytes) {
    z_stream zs{};
    if (inflateInit2(&zs, 15 + 16) != Z_OK) throw std::bad_alloc();
    struct Ender {
        z_stream& zs;
        ~Ender() { inflateEnd(&zs); }
    } ender{zs};
    const auto* in = reinterpret_cast<const unsigned char*>(packed.data());
    const unsigned char* const inEnd = in + packed.size();
    zs.next_in = const_cast<unsigned char*>(in);
    std::string text;
    unsigned char chunk[1 << 16];
    for (;;) {
        if (zs.avail_in == 0)  // avail_in is 32 bits: feed a large file in pieces
            zs.avail_in = static_cast<uInt>(std::min<std::size_t>(static_cast<std::size_t>(inEnd - zs.next_in), 1u << 30));
        zs.next_out = chunk;
        zs.avail_out = sizeof chunk;
        const int status = inflate(&zs, Z_NO_FLUSH);
        const std::size_t produced = sizeof chunk - zs.avail_out;
        if (text.size() + produced > limit)
            throw InputError(path + " holds more than " + Megabytes(megabytes) +
                             " once decompressed (--max-input-mb raises the limit)");
        text.append(reinterpret_cast<const char*>(chunk), produced);
        if (status == Z_STREAM_END) {
            // Concatenated files give several members; anything else after a
            // member is trailing padding, ignored as zlib's own reader does.
            const std::size_t left = static_cast<std::size_t>(inEnd - zs.next_in);
            if (!GzipMagic(zs.next_in, left)) return text;
            inflateReset(&zs);
        } else if (status == Z_BUF_ERROR && zs.next_in == inEnd) {
            throw InputError(path + ": the compressed data ends early (a truncated file?)");
        } else if (status != Z_OK) {
            throw InputError(path + ": bad compressed data" + (zs.msg != nullptr ? std::string(" (") + zs.msg + ")" : ""));
        }
    }
}

}  // namespace

std::string ReadInputText(const std::string& path, int maxInputMegabytes) {
    const std::size_t limit = static_cast<std::size_t>(std::max(maxInputMegabytes, 0)) << 20;
    std::string bytes = ReadBytes(path, limit, maxInputMegabytes);
    if (!EndsWith(Lower(path), ".gz") || !GzipMagic(reinterpret_cast<const unsigned char*>(bytes.data()), bytes.size()))
        return bytes;  // a plain file named .gz is read as it is, as gemmi always has
    return Gunzip(path, bytes, limit, maxInputMegabytes);
}

namespace {

// Model `model` (from 1) of the file, or every model for model 0.
std::vector<Structure> ReadModels(const std::string& path, int model, int maxInputMegabytes, int assembly) {
    std::string name = Lower(path);
    if (EndsWith(name, ".gz")) name.resize(name.size() - 3);
    const bool xyz = EndsWith(name, ".xyz");
    const bool pdb = EndsWith(name, ".pdb") || EndsWith(name, ".ent");
    const bool cif = EndsWith(name, ".cif") || EndsWith(name, ".mmcif");
    if (!xyz && !pdb && !cif) {
        const OpenFile file(path);  // a missing file says so before its name is judged
        throw InputError("unknown format: " + path + " (expected .pdb, .ent, .cif, .mmcif or .xyz, optionally .gz)");
    }
    std::string text = ReadInputText(path, maxInputMegabytes);
    std::vector<Structure> models;
    bool copies = false;
    if (xyz) {
        if (assembly > 0)
            throw InputError(path + " lists no assemblies (an XYZ file); assembly " + std::to_string(assembly) +
                             " was asked for");
        try {
            models = ParseXyzFrames(text, model);
        } catch (const InputError& e) {
            throw InputError(path + ": " + e.what());
        }
        for (Structure& s : models) s.path = path;
    } else {
        try {
            gemmi::Structure st;
            if (pdb) {
                const auto fourth = RepairPdbText(text);
                st = gemmi::read_pdb_string(text, path);
                RestoreFourthLetters(st, fourth);
            } else {
                const gemmi::cif::Document doc = gemmi::cif::read_memory(text.data(), text.size(), path.c_str());
                const gemmi::cif::Block& block = CoordinateBlock(doc, path);
                if (IsSmallMoleculeBlock(block)) {
                    if (model > 1)
                        throw InputError(path + " has 1 model(s); model " + std::to_string(model) + " was asked for");
                    models.push_back(ReadSmallMolecule(block, path));
                } else {
                    st = gemmi::make_structure_from_block(block);
                }
            }
            std::string().swap(text);
            const bool read = !models.empty();  // a small molecule, read already
            if (read && assembly != 0)
                throw InputError(path + " lists no assemblies (a small-molecule crystal); assembly " +
                                 std::to_string(assembly) + " was asked for");
            if (!read) copies = MakeCopies(st, path, assembly);
            if (!read && model != 0) models.push_back(FromGemmi(st, path, model));
            for (int k = 1; !read && model == 0 && k <= std::max(static_cast<int>(st.models.size()), 1); ++k)
                models.push_back(FromGemmi(st, path, k));
        } catch (const InputError&) {
            throw;
        } catch (const std::bad_alloc&) {
            throw;
        } catch (const std::exception& e) {
            throw InputError("cannot read " + path + ": " + e.what());
        }
    }
    int leftOut = 0;
    for (Structure& s : models) {
        if (s.atoms.empty())
            throw InputError("no atoms in " + path + (s.modelCount > 1 ? " (model " + std::to_string(s.model) + ")" : ""));
        if (copies) DropCoincidentCopies(s);
        GroupChains(s);
        leftOut += s.alternativesLeftOut;
    }
    if (leftOut > 0)
        std::cerr << "tessary-scene: " << path << ": " << leftOut
                  << " atom(s) of later alternative conformations left out (the first conformation is drawn)\n";
    return models;
}

}  // namespace

Structure ReadStructure(const std::string& path, int model, int maxInputMegabytes, int assembly) {
    if (model < 1)
        throw InputError("model " + std::to_string(model) + " of " + path + " was asked for; models count from 1");
    return std::move(ReadModels(path, model, maxInputMegabytes, assembly).front());
}

std::vector<Structure> ReadStructureModels(const std::string& path, int maxInputMegabytes, int assembly) {
    return ReadModels(path, 0, maxInputMegabytes, assembly);
}

}  // namespace TessaryScene
