#pragma once

#include <string>

#include "Structure.h"

// A small structure from XYZ text, one unnamed chain as the file reader makes it.
inline TessaryScene::Structure ParseFragment(const std::string& xyz) {
    TessaryScene::Structure s = TessaryScene::ParseXyz(xyz, 1);
    s.chains = {{"", 0, static_cast<int>(s.atoms.size())}};
    return s;
}
