// The host's selection language: the bytes are an expression. Parsing either
// throws the host's InputError, whose message ends with a position inside
// the text (or says the text is empty), or gives a selection that evaluates
// on a small structure to one flag per atom, each 0 or 1.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>

#include "Selection.h"

using namespace TessaryScene;

namespace {

// Two residues of a chain, a water and a metal ion, an atom apart each.
Structure Sample() {
    Structure s;
    const struct {
        const char *name, *element, *residue;
        int number;
        ResidueKind kind;
    } atoms[] = {
        {"N", "N", "GLY", 1, ResidueKind::Polymer},  {"CA", "C", "GLY", 1, ResidueKind::Polymer},
        {"C", "C", "GLY", 1, ResidueKind::Polymer},  {"CB", "C", "ALA", 2, ResidueKind::Polymer},
        {"P", "P", "DA", 3, ResidueKind::Polymer},   {"O", "O", "HOH", 4, ResidueKind::Water},
        {"ZN", "Zn", "ZN", 5, ResidueKind::Ligand},  {"H", "H", "ALA", 2, ResidueKind::Polymer},
    };
    float x = 0;
    for (const auto& a : atoms) {
        Atom atom;
        atom.name = a.name;
        atom.element = a.element;
        atom.residueName = a.residue;
        atom.residueNumber = a.number;
        atom.residueKind = a.kind;
        atom.chain = "A";
        atom.position = Tessary::Point3d(x, 0, 0);
        x += 1.5f;
        s.atoms.push_back(atom);
    }
    return s;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    static const Structure structure = Sample();
    const std::string text(reinterpret_cast<const char*>(data), size);
    Selection selection;
    try {
        selection = ParseSelection(text);
    } catch (const InputError& e) {
        const std::string message = e.what();
        if (message == "empty selection") return 0;
        const std::size_t at = message.rfind(" at ");
        if (at == std::string::npos) std::abort();
        const long position = std::strtol(message.c_str() + at + 4, nullptr, 10);
        if (position < 1 || static_cast<std::size_t>(position) > size + 1) std::abort();
        return 0;
    }
    const std::vector<char> flags = Select(selection, structure);
    if (flags.size() != structure.atoms.size()) std::abort();
    for (char f : flags)
        if (f != 0 && f != 1) std::abort();
    return 0;
}
