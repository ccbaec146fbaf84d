#include "Files.h"

#include <fcntl.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <string>

#include "Structure.h"

namespace TessaryScene {

void WriteWhole(const std::string& path, const void* data, std::size_t size) {
    const char* bytes = static_cast<const char*>(data);
    std::string temp;
    int fd = -1;
    for (int attempt = 0; fd < 0 && attempt < 100; ++attempt) {
        temp = path + ".part" + std::to_string(getpid()) + "_" + std::to_string(attempt);
        fd = open(temp.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
        if (fd < 0 && errno != EEXIST) break;
    }
    if (fd < 0) throw InputError("cannot write '" + path + "': " + std::strerror(errno));
    std::size_t done = 0;
    while (done < size) {
        const ssize_t n = write(fd, bytes + done, size - done);
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) break;
        done += static_cast<std::size_t>(n);
    }
    const int error = done < size ? errno : 0;
    if (close(fd) != 0 || error != 0 || std::rename(temp.c_str(), path.c_str()) != 0) {
        const int cause = error != 0 ? error : errno;
        unlink(temp.c_str());
        throw InputError("cannot write '" + path + "': " + std::strerror(cause));
    }
}

}  // namespace TessaryScene
