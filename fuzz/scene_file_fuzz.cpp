// The reference host's own loaders: XYZ text and scene files. The first byte
// chooses which; the rest is the file. Bad input may throw the host's
// InputError or CArchiveException and nothing else. A scene that loads is
// stored, loaded and stored again: the two stored forms must agree, and the
// two loaded trees must compare equal through their getters.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>
#include <vector>

#include "SceneArchive.h"
#include "Structure.h"

using namespace Tessary;

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    if (size == 0) return 0;
    const std::uint8_t choice = data[0];
    if (choice % 2 == 0) {
        const std::string text(reinterpret_cast<const char*>(data + 1), size - 1);
        try {
            const TessaryScene::Structure s = TessaryScene::ParseXyz(text, 1 + choice / 2 % 3);
            if (s.atoms.size() > text.size()) std::abort();  // an atom per line at most
        } catch (const TessaryScene::InputError&) {
        }
        return 0;
    }
    std::vector<unsigned char> bytes(data + 1, data + size);
    try {
        const DisplayList3D scene = TessaryScene::SceneFromBytes(bytes);
        std::vector<unsigned char> once = TessaryScene::SceneBytes(scene);
        const DisplayList3D again = TessaryScene::SceneFromBytes(once);
        if (TessaryScene::SceneBytes(again) != once) std::abort();
        if (!TessaryScene::CompareScenes(scene, again).empty()) std::abort();
    } catch (const CArchiveException&) {
    }
    return 0;
}
