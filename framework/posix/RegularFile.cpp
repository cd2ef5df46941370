#include "framework/posix/RegularFile.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <filesystem>
#include <system_error>

namespace {

bool readAll(int fd, std::vector<uint8_t>* bytes, size_t size) {
    bytes->resize(size);
    size_t done = 0;
    while (done < size) {
        const ssize_t n = ::read(fd, bytes->data() + done, size - done);
        if (n < 0 && errno == EINTR) continue;
        if (n < 0) return false;
        if (n == 0) break;  // shrank while read
        done += static_cast<size_t>(n);
    }
    bytes->resize(done);
    return true;
}

}  // namespace

bool readRegularFile(const std::string& path, std::vector<uint8_t>* bytes, size_t maxBytes) {
    const int fd = ::open(path.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC);
    if (fd < 0) return false;
    struct stat status {};
    bool ok = ::fstat(fd, &status) == 0;
    if (ok && !S_ISREG(status.st_mode)) {
        errno = S_ISDIR(status.st_mode) ? EISDIR : ENODEV;
        ok = false;
    }
    if (ok && static_cast<uint64_t>(status.st_size) > maxBytes) {
        errno = EFBIG;
        ok = false;
    }
    ok = ok && readAll(fd, bytes, static_cast<size_t>(status.st_size));
    const int saved = errno;
    ::close(fd);
    errno = saved;
    return ok;
}

std::string resolveLinks(const std::string& path) {
    constexpr int kMaxLinks = 40;
    std::filesystem::path target(path);
    std::error_code error;
    for (int i = 0; i < kMaxLinks && std::filesystem::is_symlink(target, error); ++i) {
        const std::filesystem::path next = std::filesystem::read_symlink(target, error);
        if (error) break;
        target = next.is_absolute() ? next : target.parent_path() / next;
    }
    return target.string();
}

bool isSpecialFile(const std::string& path) {
    struct stat status {};
    return ::stat(path.c_str(), &status) == 0 && !S_ISREG(status.st_mode);
}
