#include "Structure.h"

#include <algorithm>
#include <cctype>
#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <set>
#include <sstream>

#define GEMMI_READ_COOR_IMPLEMENTATION
#include <gemmi/read_coor.hpp>

namespace TessaryScene {

using Tessary::Point3d;

std::string Atom::ResidueLabel() const {
    std::string label = residueName.empty() ? element : residueName;
    label += ' ' + std::to_string(residueNumber);
    if (insertionCode != ' ') label += insertionCode;
    if (!chain.empty()) label += ' ' + chain;
    return label;
}

Point3d::Array Structure::Positions() const {
    Point3d::Array points;
    points.SetSize(static_cast<int>(atoms.size()));
    for (std::size_t i = 0; i < atoms.size(); ++i) points[static_cast<int>(i)] = atoms[i].position;
    return points;
}

namespace {

bool EndsWith(const std::string& s, const std::string& tail) {
    return s.size() >= tail.size() && s.compare(s.size() - tail.size(), tail.size(), tail) == 0;
}

std::string Lower(std::string s) {
    for (char& c : s) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    return s;
}

std::string ReadText(const std::string& path) {
    if (EndsWith(Lower(path), ".gz")) {
        gemmi::CharArray data = gemmi::MaybeGzipped(path).uncompress_into_buffer();
        return std::string(data.data(), data.size());
    }
    std::ifstream in(path, std::ios::binary);
    std::ostringstream text;
    text << in.rdbuf();
    if (!in) throw InputError("cannot read " + path);
    return text.str();
}

void GroupChains(Structure& s) {
    for (std::size_t i = 0; i < s.atoms.size(); ++i) {
        if (s.chains.empty() || s.chains.back().name != s.atoms[i].chain)
            s.chains.push_back({s.atoms[i].chain, static_cast<int>(i), 0});
        ++s.chains.back().count;
    }
}

// Files of the old format carry an entry code and line number in columns
// 73-80, where newer ones keep the element and the charge; read literally
// those would give a bad charge ("Wrong format for charge") or a numeric
// element. Such columns are blanked, so the element comes from the atom name.
void BlankOldSerials(std::string& text) {
    // The charge forms gemmi accepts: blank, "2+", "+2", "2 ".
    auto isCharge = [](char digit, char sign) {
        auto isDigit = [](char c) { return std::isdigit(static_cast<unsigned char>(c)) != 0; };
        if (isDigit(sign)) std::swap(digit, sign);
        return !isDigit(digit) || sign == '+' || sign == '-' || std::isspace(static_cast<unsigned char>(sign)) != 0;
    };
    std::size_t start = 0;
    while (start < text.size()) {
        std::size_t end = text.find('\n', start);
        if (end == std::string::npos) end = text.size();
        std::size_t length = end - start;
        if (length > 0 && text[end - 1] == '\r') --length;
        const bool coordinates = text.compare(start, 4, "ATOM") == 0 || text.compare(start, 6, "HETATM") == 0 ||
                                 text.compare(start, 6, "ANISOU") == 0;
        if (coordinates && length >= 80 && !isCharge(text[start + 78], text[start + 79])) {
            for (std::size_t c = 76; c < 80; ++c) text[start + c] = ' ';
        }
        start = end + 1;
    }
}

// Alternative conformations keep their first. A repeated residue number
// drops the residue only when its atoms carry alternative-location marks
// (a point mutation): old files number ligands and waters like the protein
// (HEM A 1 beside VAL A 1), and those are separate residues that must stay.
void KeepFirstConformation(gemmi::Model& model) {
    for (gemmi::Chain& chain : model.chains) {
        std::set<gemmi::SeqId> seen;
        std::vector<gemmi::Residue>& residues = chain.residues;
        for (std::size_t i = 0; i < residues.size();) {
            const bool repeated = !seen.insert(residues[i].seqid).second;
            const bool alternative = std::any_of(residues[i].atoms.begin(), residues[i].atoms.end(),
                                                 [](const gemmi::Atom& a) { return a.altloc != '\0'; });
            if (repeated && alternative)
                residues.erase(residues.begin() + static_cast<std::ptrdiff_t>(i));
            else
                ++i;
        }
        for (gemmi::Residue& residue : residues) {
            std::set<std::string> names;
            std::vector<gemmi::Atom>& atoms = residue.atoms;
            for (std::size_t i = 0; i < atoms.size();) {
                atoms[i].altloc = '\0';
                if (names.insert(atoms[i].name).second)
                    ++i;
                else
                    atoms.erase(atoms.begin() + static_cast<std::ptrdiff_t>(i));
            }
        }
    }
}

Structure FromGemmi(gemmi::Structure& st, const std::string& path, int model) {
    Structure s;
    s.path = path;
    s.modelCount = static_cast<int>(st.models.size());
    s.model = model;
    if (model < 1 || model > s.modelCount)
        throw InputError(path + " has " + std::to_string(s.modelCount) + " model(s); model " +
                         std::to_string(model) + " was asked for");
    s.title = st.get_info("_struct.title");
    if (s.title.empty()) s.title = st.get_info("_entry.id");
    if (s.title.empty()) s.title = st.name;
    gemmi::Model& m = st.models[static_cast<std::size_t>(model - 1)];
    KeepFirstConformation(m);
    for (const gemmi::Chain& chain : m.chains) {
        for (const gemmi::Residue& residue : chain.residues) {
            for (const gemmi::Atom& a : residue.atoms) {
                Atom atom;
                atom.name = a.name;
                atom.element = ElementSymbolCase(a.element.name());
                atom.residueName = residue.name;
                atom.residueNumber = residue.seqid.num.value;
                atom.insertionCode = residue.seqid.icode == '\0' ? ' ' : residue.seqid.icode;
                atom.chain = chain.name;
                atom.position = Point3d(a.pos.x, a.pos.y, a.pos.z);
                atom.bFactor = a.b_iso;
                atom.hetero = residue.het_flag == 'H';
                atom.hasAniso = a.aniso.nonzero();
                atom.u = {a.aniso.u11, a.aniso.u22, a.aniso.u33, a.aniso.u12, a.aniso.u13, a.aniso.u23};
                s.atoms.push_back(std::move(atom));
            }
        }
    }
    return s;
}

}  // namespace

Structure ReadStructure(const std::string& path, int model) {
    if (std::FILE* f = std::fopen(path.c_str(), "rb")) {
        std::fclose(f);
    } else {
        throw InputError("cannot open " + path + ": " + std::strerror(errno));
    }
    std::string name = Lower(path);
    if (EndsWith(name, ".gz")) name.resize(name.size() - 3);
    Structure s;
    if (EndsWith(name, ".xyz")) {
        s = ParseXyz(ReadText(path), model);
        s.path = path;
    } else if (EndsWith(name, ".pdb") || EndsWith(name, ".ent") || EndsWith(name, ".cif") || EndsWith(name, ".mmcif")) {
        try {
            const bool pdb = EndsWith(name, ".pdb") || EndsWith(name, ".ent");
            std::string text;
            if (pdb) {
                text = ReadText(path);
                BlankOldSerials(text);
            }
            gemmi::Structure st = pdb ? gemmi::read_pdb_string(text, path)
                                      : gemmi::read_structure_gz(path, gemmi::CoorFormat::Unknown);
            s = FromGemmi(st, path, model);
        } catch (const InputError&) {
            throw;
        } catch (const std::exception& e) {
            throw InputError("cannot read " + path + ": " + e.what());
        }
    } else {
        throw InputError("unknown format: " + path + " (expected .pdb, .ent, .cif, .mmcif or .xyz, optionally .gz)");
    }
    if (s.atoms.empty()) throw InputError("no atoms in " + path);
    GroupChains(s);
    return s;
}

}  // namespace TessaryScene
