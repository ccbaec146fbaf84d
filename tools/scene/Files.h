#pragma once

// Output files of the host. An output is only ever a regular file the user
// may write: a symbolic link is written through to the file it leads to, and
// a directory, FIFO, device node or read-only file is refused rather than
// replaced. A file is replaced whole (written beside it, then renamed into
// place), keeping its permission bits.

#include <cstddef>
#include <string>

namespace TessaryScene {

// The file writing `path` replaces: `path` itself, or the file a symbolic
// link leads to. Throws InputError when that is not a regular file, is a
// file the user may not write (read-only by its mode bits, for root too), or
// lies in a directory the user may not write to, and for a link whose
// target is missing.
std::string CheckOutput(const std::string& path);

// Writes `size` bytes to a fresh file beside the file CheckOutput names and
// renames it into place, so that file ends up whole or untouched. The fresh
// file has a short name of its own, so any name that fits the file-name
// limit can be written. Throws InputError.
void WriteWhole(const std::string& path, const void* data, std::size_t size);

}  // namespace TessaryScene
