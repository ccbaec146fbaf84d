#pragma once

// Output files of the host. An output is only ever a regular file the user
// may write: a symbolic link is written through to the file it leads to, and
// a directory, FIFO, device node or read-only file is refused rather than
// replaced. A file is replaced whole (written beside it, then renamed into
// place), keeping its permission bits.

#include <cstddef>
#include <string>
#include <vector>

namespace TessaryScene {

// The file writing `path` replaces: `path` itself, or the file a symbolic
// link leads to. Throws InputError when that is not a regular file, is a
// file the user may not write (read-only by its mode bits, for root too), or
// lies in a directory the user may not write to, and for a link whose
// target is missing.
std::string CheckOutput(const std::string& path);

// An output written as it is made: the bytes go to a fresh file beside the
// file CheckOutput names, which Commit renames into place, so that file ends
// up whole or untouched. The fresh file has a short name of its own, so any
// name that fits the file-name limit can be written; it is removed when the
// OutputFile goes without a Commit (a failure on the way). Throws InputError.
class OutputFile {
public:
    explicit OutputFile(const std::string& path);
    ~OutputFile();
    OutputFile(const OutputFile&) = delete;
    OutputFile& operator=(const OutputFile&) = delete;

    // Writes on (buffered); after a failed write, throws that failure again and writes nothing.
    void append(const char* data, std::size_t size);
    // Throws the failure of an earlier append, if any.
    void CheckWritten() const;
    // Flushes the file to disk and renames it into place.
    void Commit();

private:
    static constexpr std::size_t kBuffer = 1 << 16;
    void Flush();
    void WriteOut(const char* data, std::size_t size);

    std::string m_path, m_target, m_temp;
    int m_fd = -1;
    int m_error = 0;
    std::vector<char> m_buffer;
};

// Writes `size` bytes through an OutputFile.
void WriteWhole(const std::string& path, const void* data, std::size_t size);

}  // namespace TessaryScene
