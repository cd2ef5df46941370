#include "persistence/AtomicFile.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>

#include "framework/posix/RegularFile.h"
#include "framework/posix/TemporaryFiles.h"

namespace {

std::string folderOf(const std::string& path) {
    const size_t slash = path.rfind('/');
    if (slash == std::string::npos) return ".";
    return slash == 0 ? "/" : path.substr(0, slash);
}

bool writeAll(int fd, std::span<const uint8_t> bytes) {
    size_t done = 0;
    while (done < bytes.size()) {
        const ssize_t n = ::write(fd, bytes.data() + done, bytes.size() - done);
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) return false;
        done += static_cast<size_t>(n);
    }
    return true;
}

// The rename itself is durable only once the folder entry is on disk.
void syncFolder(const std::string& folder) {
    const int fd = ::open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (fd < 0) return;
    ::fsync(fd);
    ::close(fd);
}

}  // namespace

bool writeFileAtomically(const std::string& requested, std::span<const uint8_t> bytes) {
    if (requested.empty() || requested.back() == '/') return false;
    // Through a link to its target; a device or FIFO is never replaced.
    const std::string path = resolveLinks(requested);
    if (isSpecialFile(path)) {
        errno = EEXIST;
        return false;
    }
    std::string temporary;
    const int fd = temporary_files::create(path, &temporary);
    if (fd < 0) return false;

    bool ok = writeAll(fd, bytes) && ::fsync(fd) == 0;
    // The temporary file is created 0600; a preset is an ordinary user file.
    ok = ok && ::fchmod(fd, 0644) == 0;
    ok = (::close(fd) == 0) && ok;
    ok = ok && ::rename(temporary.c_str(), path.c_str()) == 0;
    if (!ok) {
        const int reason = errno;
        temporary_files::discard(temporary);
        errno = reason;
        return false;
    }
    temporary_files::release(temporary);
    syncFolder(folderOf(path));
    return true;
}
