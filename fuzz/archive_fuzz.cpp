// Drives the archive's read operations and the container loaders from
// arbitrary bytes. The first byte chooses a vector or a stream source; each
// following byte chooses the next operation, and the rest of the input is
// what that operation reads. Malformed input may throw CArchiveException and
// nothing else: no crash, no overread, no allocation beyond the input's size.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <sstream>
#include <string>
#include <vector>

#include "tessary/frame/CArchive.h"
#include "tessary/frame/CArray.h"
#include "tessary/frame/Serialization.h"

using namespace Tessary;

namespace {

struct Element {
    CString name;
    double weight = 0;
    void Serialize(CArchive& ar) { ArchiveFields(ar, name, weight); }
};

void ReadOne(CArchive& ar, unsigned op) {
    switch (op % 14) {
        case 0: { unsigned char v; ar >> v; break; }
        case 1: { bool v; ar >> v; break; }
        case 2: { short v; ar >> v; break; }
        case 3: { unsigned int v; ar >> v; break; }
        case 4: { double v; ar >> v; break; }
        case 5: { long long v; ar >> v; break; }
        case 6: { CString v; ar >> v; break; }
        case 7: { (void)ar.ReadCount(); break; }
        case 8: { IntArray a; a.Serialize(ar); break; }
        case 9: { BoolArray a; a.Serialize(ar); break; }
        case 10: { CStringArray a; a.Serialize(ar); break; }
        case 11: { DoubleArray a; a.Serialize(ar); break; }
        case 12: { CArray<Element> a; ArchiveFields(ar, Sequence(a, 9)); break; }
        case 13: { char block[37]; ar.Read(block, sizeof block); break; }
    }
}

void Run(CArchive& ar, const std::uint8_t* ops, std::size_t count) {
    try {
        for (std::size_t i = 0; i < count; ++i) ReadOne(ar, ops[i]);
    } catch (const CArchiveException&) {
        // Malformed input is reported this way and only this way.
    }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    if (size < 2) return 0;
    // Operations come from the first bytes (at most 8), the payload after them.
    const std::size_t opCount = std::min<std::size_t>(1 + data[0] % 8, size - 1);
    const std::uint8_t* ops = data + 1;
    std::vector<unsigned char> payload(data + 1 + opCount, data + size);
    if (data[0] & 0x80) {
        std::istringstream in(std::string(payload.begin(), payload.end()));
        CArchive ar(in);
        Run(ar, ops, opCount);
    } else {
        CArchive ar(payload, CArchive::load);
        Run(ar, ops, opCount);
    }
    return 0;
}
