#include "Files.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <random>
#include <string>

#include "Structure.h"

namespace TessaryScene {

namespace {

[[noreturn]] void Refuse(const std::string& path, const std::string& why) {
    throw InputError("cannot write '" + path + "': " + why);
}

std::string DirectoryOf(const std::string& path) {
    const std::size_t slash = path.find_last_of('/');
    if (slash == std::string::npos) return ".";
    return slash == 0 ? "/" : path.substr(0, slash);
}

// access() answers yes to everything for root, so root also needs a write
// bit: a file made read-only stays as it is.
bool MayWrite(const std::string& path, const struct stat& st) {
    if (faccessat(AT_FDCWD, path.c_str(), W_OK, AT_EACCESS) != 0) return false;
    return geteuid() != 0 || (st.st_mode & (S_IWUSR | S_IWGRP | S_IWOTH)) != 0;
}

// ".tessary-" and eight random letters or digits: short whatever the output's name.
std::string TempName(const std::string& directory, std::mt19937& random) {
    static const char kLetters[] = "abcdefghijklmnopqrstuvwxyz0123456789";
    std::string name = directory + "/.tessary-";
    std::uniform_int_distribution<int> pick(0, static_cast<int>(sizeof kLetters) - 2);
    for (int k = 0; k < 8; ++k) name += kLetters[pick(random)];
    return name;
}

}  // namespace

std::string CheckOutput(const std::string& path) {
    if (path.empty()) Refuse(path, "no file name");
    struct stat st;
    std::string target = path;
    if (lstat(path.c_str(), &st) != 0) {
        if (errno != ENOENT) Refuse(path, std::strerror(errno));
    } else {
        if (S_ISLNK(st.st_mode)) {
            const std::unique_ptr<char, decltype(&std::free)> real(realpath(path.c_str(), nullptr), &std::free);
            if (!real) Refuse(path, errno == ENOENT ? "a link to a missing file" : std::strerror(errno));
            target = real.get();
            if (stat(target.c_str(), &st) != 0) Refuse(path, std::strerror(errno));
        }
        if (!S_ISREG(st.st_mode))
            Refuse(path, S_ISDIR(st.st_mode) ? "a directory" : "not a regular file (a FIFO, device or socket)");
        if (!MayWrite(target, st)) Refuse(path, "the file is read-only");
    }
    const std::string directory = DirectoryOf(target);
    if (faccessat(AT_FDCWD, directory.c_str(), W_OK | X_OK, AT_EACCESS) != 0)
        Refuse(path, "directory '" + directory + "': " + std::strerror(errno));
    return target;
}

OutputFile::OutputFile(const std::string& path) : m_path(path), m_target(CheckOutput(path)) {
    struct stat existing;
    const bool replaces = stat(m_target.c_str(), &existing) == 0;
    std::mt19937 random(std::random_device{}());
    const std::string directory = DirectoryOf(m_target);
    for (int attempt = 0; m_fd < 0 && attempt < 100; ++attempt) {
        m_temp = TempName(directory, random);
        m_fd = open(m_temp.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
        if (m_fd < 0 && errno != EEXIST) break;
    }
    if (m_fd < 0) Refuse(path, std::strerror(errno));
    if (replaces) {
        // The replacement keeps the file's permissions and, where it can (as
        // root), its owner: a file root replaces stays its owner's.
        if (geteuid() == 0 && fchown(m_fd, existing.st_uid, existing.st_gid) != 0) {
        }
        if (fchmod(m_fd, existing.st_mode & 07777) != 0) m_error = errno;
    }
}

OutputFile::~OutputFile() {
    if (m_fd >= 0) {
        close(m_fd);
        unlink(m_temp.c_str());
    }
}

void OutputFile::append(const char* data, std::size_t size) {
    CheckWritten();
    // cairo hands over a few bytes at a time: gathered, they take a system call per kBuffer.
    if (m_buffer.size() + size > kBuffer) Flush();
    if (size >= kBuffer) return WriteOut(data, size);
    m_buffer.insert(m_buffer.end(), data, data + size);
}

void OutputFile::Flush() {
    WriteOut(m_buffer.data(), m_buffer.size());
    m_buffer.clear();
}

void OutputFile::WriteOut(const char* data, std::size_t size) {
    std::size_t done = 0;
    while (done < size) {
        const ssize_t n = write(m_fd, data + done, size - done);
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) {
            m_error = n < 0 ? errno : EIO;
            CheckWritten();
        }
        done += static_cast<std::size_t>(n);
    }
}

void OutputFile::CheckWritten() const {
    if (m_error != 0) Refuse(m_path, std::strerror(m_error));
}

void OutputFile::Commit() {
    CheckWritten();
    Flush();  // a failure here leaves the fresh file to the destructor
    if (fsync(m_fd) != 0) m_error = errno;
    if (close(m_fd) != 0 && m_error == 0) m_error = errno;
    m_fd = -1;
    if (m_error == 0 && std::rename(m_temp.c_str(), m_target.c_str()) != 0) m_error = errno;
    if (m_error != 0) {
        unlink(m_temp.c_str());
        CheckWritten();
    }
}

void WriteWhole(const std::string& path, const void* data, std::size_t size) {
    OutputFile output(path);
    output.append(static_cast<const char*>(data), size);
    output.Commit();
}

}  // namespace TessaryScene
