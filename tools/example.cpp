// A first look at the library from a host's side: the load registration,
// strings and containers, and an archive written, shown byte by byte, and
// read back.
#include <cstdio>
#include <vector>

#include "tessary/tessary.h"

using namespace Tessary;

namespace {

void PrintBytes(const std::vector<unsigned char>& bytes) {
    for (std::size_t i = 0; i < bytes.size(); ++i) {
        std::printf("%02x%s", bytes[i], (i + 1) % 16 == 0 || i + 1 == bytes.size() ? "\n" : " ");
    }
}

}  // namespace

int main() {
    AttachCoreDLL();
    std::printf("library registered: %s, links: %d\n", CoreModuleRegistry::IsRegistered() ? "yes" : "no",
                CoreModuleRegistry::GetLinkCount());
    for (int i = 0; i < CoreModuleRegistry::GetLinkCount(); ++i)
        std::printf("  link %d: %s\n", i, CoreModuleRegistry::GetLinkedModule(i).GetString());

    CStringArray residues;
    for (const char* name : {"ALA", "GLY", "HIS", "ZN"}) residues.Add(CString(name));
    IntArray serials;
    for (int i = 0; i < residues.GetSize(); ++i) serials.Add(100 + i);

    std::vector<unsigned char> bytes;
    {
        CArchive ar(bytes, CArchive::store);
        ar.SetObjectSchema(13);
        residues.Serialize(ar);
        serials.Serialize(ar);
        ar << CString("a title of 300 characters follows") << CString('*', 300);
    }
    std::printf("\narchive of %zu bytes (first 64 shown):\n", bytes.size());
    PrintBytes(std::vector<unsigned char>(bytes.begin(), bytes.begin() + 64));

    CStringArray residuesBack;
    IntArray serialsBack;
    CString title, stars;
    CArchive ar(bytes, CArchive::load);
    residuesBack.Serialize(ar);
    serialsBack.Serialize(ar);
    ar >> title >> stars;
    std::printf("\nread back: %d residues, %d serials, \"%s\", %d stars\n", residuesBack.GetSize(),
                serialsBack.GetSize(), title.GetString(), stars.GetLength());
    for (int i = 0; i < residuesBack.GetSize(); ++i)
        std::printf("  %-4s %d\n", residuesBack[i].GetString(), serialsBack[i]);

    std::vector<unsigned char> crafted = {0xFF, 0xFF, 0x00, 0x00, 0x00, 0x40, 1, 2, 3, 4};
    try {
        CArchive bad(crafted, CArchive::load);
        IntArray huge;
        huge.Serialize(bad);
        std::printf("\ncrafted archive loaded?!\n");
        return 1;
    } catch (const CArchiveException& e) {
        std::printf("\na crafted 10-byte archive claiming 2^30 elements is refused: %s\n", e.what());
    }
    return 0;
}
