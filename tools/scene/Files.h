#pragma once

#include <cstddef>
#include <string>

namespace TessaryScene {

// Writes `size` bytes to a fresh file beside `path` and renames it into
// place, so `path` ends up whole or untouched. Throws InputError.
void WriteWhole(const std::string& path, const void* data, std::size_t size);

}  // namespace TessaryScene
