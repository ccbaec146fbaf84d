#pragma once

// A minimal coordinate reader for the sample structures used by tests and
// benchmarks: ATOM/HETATM records of PDB/ENT files and plain XYZ files.
// The library itself reads no files; this header stays outside it and uses
// the standard library only, so any test or benchmark can include it.
//
// PDB files: only the first model is read (reading stops at the first ENDMDL);
// of alternate locations only blank and 'A' are kept. The element comes from
// columns 77-78 when present, otherwise from the atom name (columns 13-16):
// a name starting in column 13 with a letter is a two-letter element for
// HETATM records (FE, ZN, MG), while ATOM records always take the first
// letter of the name (protein atoms are C, N, O, S, H).
// XYZ files: a count line, a comment line, then "element x y z" lines.

#include <cctype>
#include <cmath>
#include <cstdlib>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

namespace TessaryTest {

struct Atom {
    std::string name;     // trimmed atom name ("CA", "FE"); the element for XYZ files
    std::string residue;  // trimmed residue name; empty for XYZ files
    char chain = ' ';
    int residueNumber = 0;
    std::string element;  // capitalised as in the periodic table: "C", "Fe", "Zn"
    double x = 0.0, y = 0.0, z = 0.0;
    bool hetero = false;  // HETATM record
};

struct Molecule {
    std::vector<Atom> atoms;

    bool Empty() const { return atoms.empty(); }
    std::size_t Size() const { return atoms.size(); }

    // Indices of the atoms of the given element (case-insensitive).
    std::vector<std::size_t> FindElement(const std::string& element) const;
};

namespace detail {

inline std::string Trim(const std::string& s) {
    std::size_t b = 0, e = s.size();
    while (b < e && std::isspace(static_cast<unsigned char>(s[b]))) ++b;
    while (e > b && std::isspace(static_cast<unsigned char>(s[e - 1]))) --e;
    return s.substr(b, e - b);
}

inline std::string Column(const std::string& line, std::size_t first, std::size_t count) {
    return first < line.size() ? line.substr(first, count) : std::string();
}

inline std::string NormaliseElement(std::string e) {
    std::string out;
    for (char c : e)
        if (std::isalpha(static_cast<unsigned char>(c))) out += c;
    for (std::size_t i = 0; i < out.size(); ++i)
        out[i] = static_cast<char>(i == 0 ? std::toupper(static_cast<unsigned char>(out[i]))
                                          : std::tolower(static_cast<unsigned char>(out[i])));
    return out;
}

inline bool ParseDouble(const std::string& text, double& value) {
    const std::string t = Trim(text);
    if (t.empty()) return false;
    char* end = nullptr;
    value = std::strtod(t.c_str(), &end);
    return end == t.c_str() + t.size() && std::isfinite(value);
}

inline std::string ElementFromName(const std::string& field, bool hetero) {
    // field: columns 13-16, untrimmed
    if (field.empty()) return std::string();
    const unsigned char c0 = static_cast<unsigned char>(field[0]);
    if (hetero && std::isalpha(c0) && field.size() > 1 && std::isalpha(static_cast<unsigned char>(field[1])))
        return NormaliseElement(field.substr(0, 2));
    for (char c : field)
        if (std::isalpha(static_cast<unsigned char>(c))) return NormaliseElement(std::string(1, c));
    return std::string();
}

}  // namespace detail

inline std::vector<std::size_t> Molecule::FindElement(const std::string& element) const {
    const std::string wanted = detail::NormaliseElement(element);
    std::vector<std::size_t> out;
    for (std::size_t i = 0; i < atoms.size(); ++i)
        if (atoms[i].element == wanted) out.push_back(i);
    return out;
}

// Reads the first model of a PDB/ENT file; an unreadable file gives an empty molecule.
inline Molecule ReadPdb(const std::string& path) {
    Molecule mol;
    std::ifstream in(path);
    std::string line;
    while (std::getline(in, line)) {
        if (!line.empty() && line.back() == '\r') line.pop_back();
        const std::string record = line.substr(0, 6);
        if (record == "ENDMDL") break;
        const bool hetero = record == "HETATM";
        if (record != "ATOM  " && !hetero) continue;
        const char altLoc = line.size() > 16 ? line[16] : ' ';
        if (altLoc != ' ' && altLoc != 'A') continue;
        Atom atom;
        if (!detail::ParseDouble(detail::Column(line, 30, 8), atom.x) ||
            !detail::ParseDouble(detail::Column(line, 38, 8), atom.y) ||
            !detail::ParseDouble(detail::Column(line, 46, 8), atom.z))
            continue;
        const std::string nameField = detail::Column(line, 12, 4);
        atom.name = detail::Trim(nameField);
        atom.residue = detail::Trim(detail::Column(line, 17, 3));
        atom.chain = line.size() > 21 ? line[21] : ' ';
        atom.residueNumber = std::atoi(detail::Column(line, 22, 4).c_str());
        atom.hetero = hetero;
        atom.element = detail::NormaliseElement(detail::Column(line, 76, 2));
        if (atom.element.empty()) atom.element = detail::ElementFromName(nameField, hetero);
        mol.atoms.push_back(std::move(atom));
    }
    return mol;
}

// Reads the first frame of an XYZ file; an unreadable file gives an empty molecule.
inline Molecule ReadXyz(const std::string& path) {
    Molecule mol;
    std::ifstream in(path);
    std::string line;
    if (!std::getline(in, line)) return mol;
    const long count = std::atol(line.c_str());
    if (count <= 0 || !std::getline(in, line)) return mol;  // comment line
    while (static_cast<long>(mol.atoms.size()) < count && std::getline(in, line)) {
        std::istringstream fields(line);
        Atom atom;
        std::string symbol;
        if (!(fields >> symbol >> atom.x >> atom.y >> atom.z)) continue;
        atom.element = detail::NormaliseElement(symbol);
        atom.name = atom.element;
        mol.atoms.push_back(std::move(atom));
    }
    return mol;
}

// Chooses the reader by extension: ".xyz" reads XYZ, anything else PDB.
inline Molecule ReadMolecule(const std::string& path) {
    const std::size_t dot = path.rfind('.');
    std::string ext = dot == std::string::npos ? std::string() : path.substr(dot + 1);
    for (char& c : ext) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    return ext == "xyz" ? ReadXyz(path) : ReadPdb(path);
}

}  // namespace TessaryTest
