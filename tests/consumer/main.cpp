// A host in miniature: includes the installed umbrella header, writes an
// archive and reads it back.
#include <cstdio>
#include <vector>

#include <tessary/tessary.h>

int main() {
    std::vector<unsigned char> bytes;
    {
        Tessary::CArchive ar(bytes, Tessary::CArchive::store);
        ar << Tessary::CString("installed") << 42;
    }
    Tessary::CArchive ar(bytes, Tessary::CArchive::load);
    Tessary::CString text;
    int value = 0;
    ar >> text >> value;
    const bool ok = text == "installed" && value == 42 && Tessary::CoreModuleRegistry::IsRegistered();
    std::printf("%s\n", ok ? "consumer ok" : "consumer FAILED");
    return ok ? 0 : 1;
}
