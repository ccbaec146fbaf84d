#pragma once

#include <string>

// A structure file of the repository's data/molecules.
inline std::string MoleculePath(const std::string& name) {
    return std::string(TESSARY_SOURCE_DIR) + "/data/molecules/" + name;
}
