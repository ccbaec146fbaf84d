// Reading a structure file: the reference host's reader (ReadStructure: the
// text repairs, gemmi's parse, the first conformation and the host's atom
// array) against gemmi's own parse of the same file (read_structure_gz: the
// file read, parsed and made into gemmi's model), both from the file on each
// iteration. Files: a 50,293-atom solvated system (four-letter residue
// names), a 22,194-atom crystal structure and, when present, a large mmCIF.
//
// Built only where the host's sources are (the default preset with
// -DTESSARY_BUILD_BENCH=ON); run with --benchmark_repetitions to compare
// medians.
#include <benchmark/benchmark.h>

#include <string>

#include <gemmi/read_coor.hpp>

#include "Structure.h"

namespace {

std::string PathOf(const char* file) { return std::string(TESSARY_SOURCE_DIR) + "/data/molecules/" + file; }

bool Present(benchmark::State& state, const std::string& path) {
    try {
        TessaryScene::ReadInputText(path, 1 << 10);
        return true;
    } catch (const std::exception&) {
        state.SkipWithError((path + " is not there").c_str());
        return false;
    }
}

void BM_ReadStructure(benchmark::State& state, const char* file) {
    const std::string path = PathOf(file);
    if (!Present(state, path)) return;
    std::size_t atoms = 0;
    for (auto _ : state) {
        const TessaryScene::Structure s = TessaryScene::ReadStructure(path, 1, 1 << 10, 0);
        atoms = s.atoms.size();
        benchmark::DoNotOptimize(s.atoms.data());
    }
    state.counters["atoms"] = static_cast<double>(atoms);
}

void BM_GemmiRead(benchmark::State& state, const char* file) {
    const std::string path = PathOf(file);
    if (!Present(state, path)) return;
    std::size_t atoms = 0;
    for (auto _ : state) {
        const gemmi::Structure st = gemmi::read_structure_gz(path);
        atoms = 0;
        if (!st.models.empty())
            for (const gemmi::Chain& chain : st.models[0].chains)
                for (const gemmi::Residue& residue : chain.residues) atoms += residue.atoms.size();
        benchmark::DoNotOptimize(st.models.data());
    }
    state.counters["atoms"] = static_cast<double>(atoms);
}

}  // namespace

#define TESSARY_READ_CASES(name, file)                                           \
    BENCHMARK_CAPTURE(BM_GemmiRead, name, file)->Unit(benchmark::kMillisecond); \
    BENCHMARK_CAPTURE(BM_ReadStructure, name, file)->Unit(benchmark::kMillisecond)

TESSARY_READ_CASES(solvated_1tw7_pdb, "pdb1tw7_step3_charmm2namd.pdb");
TESSARY_READ_CASES(crystal_4jsv_pdb, "4JSV.pdb");
TESSARY_READ_CASES(ribosome_2xhe_cif, "2XHE.cif");
