#include "Structure.h"

#include <cctype>
#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <sstream>

#define GEMMI_READ_COOR_IMPLEMENTATION
#include <gemmi/modify.hpp>
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

Structure FromGemmi(gemmi::Structure& st, const std::string& path, int model) {
    Structure s;
    s.path = path;
    s.modelCount = static_cast<int>(st.models.size());
    s.model = model;
    if (model < 1 || model > s.modelCount)
        throw InputError(path + " has " + std::to_string(s.modelCount) + " model(s); model " +
                         std::to_string(model) + " was asked for");
    s.title = st.get_info("_struct.title");
    if (s.title.empty()) s.title = st.name;
    gemmi::Model& m = st.models[static_cast<std::size_t>(model - 1)];
    gemmi::remove_alternative_conformations(m);
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
            gemmi::Structure st = gemmi::read_structure_gz(path, gemmi::CoorFormat::Unknown);
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
