// The host's small-molecule CIF reader: the bytes are a CIF file. Text gemmi
// cannot parse is no test of ours; a block it parses may make the reader
// throw the host's InputError (the file reader turns gemmi's own errors into
// one), and a structure read stays within its bounds: at most
// kMaxCompletionGrowth atoms per site, every number finite, no two atoms on
// one spot.
#include <cmath>
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <stdexcept>
#include <string>

#include <gemmi/cif.hpp>

#include "SmallMolecule.h"

using namespace TessaryScene;

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    gemmi::cif::Document doc;
    try {
        doc = gemmi::cif::read_memory(reinterpret_cast<const char*>(data), size, "fuzz.cif");
    } catch (const std::exception&) {
        return 0;
    }
    try {
        const gemmi::cif::Block& block = CoordinateBlock(doc, "fuzz.cif");
        if (!IsSmallMoleculeBlock(block)) return 0;
        const Structure s = ReadSmallMolecule(block, "fuzz.cif");
        if (s.atoms.empty() || s.atoms.size() > static_cast<std::size_t>(kMaxCompletionGrowth) * s.asymmetricSites)
            std::abort();
        for (const Atom& a : s.atoms)
            if (!std::isfinite(a.position.x) || !std::isfinite(a.position.y) || !std::isfinite(a.position.z)) std::abort();
        // Coincident images are one atom (within kCoincidence; the float
        // positions round a little), so no pair lies closer than that.
        if (s.atoms.size() < 2000)
            for (std::size_t i = 0; i < s.atoms.size(); ++i)
                for (std::size_t j = i + 1; j < s.atoms.size(); ++j)
                    if (s.atoms[i].position.Distance(s.atoms[j].position) < kCoincidence * 0.99 &&
                        (s.atoms[i].symmetry != "" || s.atoms[j].symmetry != ""))
                        std::abort();
    } catch (const InputError&) {
    } catch (const std::runtime_error&) {
        // gemmi's own complaints about a block, which the file reader reports as InputError.
    }
    return 0;
}
