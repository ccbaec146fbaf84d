// Loads the library the way a host module does (dlopen), then checks that the
// load registered the library once and that every AttachCoreDLL call links
// one more module, recorded under the caller's file.
#include <dlfcn.h>

#include <cstdio>
#include <cstdlib>

namespace {

int failures = 0;

void Expect(bool ok, const char* what) {
    if (!ok) {
        std::fprintf(stderr, "FAILED: %s\n", what);
        ++failures;
    }
}

}  // namespace

int main(int argc, char** argv) {
    if (argc != 2) {
        std::fprintf(stderr, "usage: %s LIBRARY\n", argv[0]);
        return 2;
    }
    void* library = dlopen(argv[1], RTLD_NOW | RTLD_LOCAL);
    if (!library) {
        std::fprintf(stderr, "dlopen failed: %s\n", dlerror());
        return 1;
    }
    using AttachFn = void (*)();
    using CountFn = int (*)();
    auto attach = reinterpret_cast<AttachFn>(dlsym(library, "AttachCoreDLL"));
    auto count = reinterpret_cast<CountFn>(dlsym(library, "TessaryCoreLinkCount"));
    Expect(attach != nullptr, "AttachCoreDLL is exported under its own name");
    Expect(count != nullptr, "TessaryCoreLinkCount is exported");
    if (!attach || !count) return 1;

    Expect(count() == 1, "the load links the library exactly once");
    attach();
    attach();
    Expect(count() == 3, "each AttachCoreDLL call adds one link, unguarded");

    // The library's statics exist before any host code runs: the spline
    // cache starts out asking for a recomputation.
    auto recalc = static_cast<const bool*>(dlsym(library, "_ZN7Tessary6Spline14m_recalcMatrixE"));
    Expect(recalc && *recalc, "Spline::m_recalcMatrix is true right after load");

    // Internal symbols stay hidden.
    Expect(dlsym(library, "_ZN7Tessary6detail16g_moduleRegistryE") == nullptr, "the registry object is not exported");

    Expect(dlclose(library) == 0, "the library unloads");
    std::printf("%s\n", failures == 0 ? "load probe ok" : "load probe FAILED");
    return failures == 0 ? EXIT_SUCCESS : EXIT_FAILURE;
}
