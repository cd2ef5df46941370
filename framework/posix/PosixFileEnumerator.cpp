#include "framework/posix/PosixFileEnumerator.h"

#include <fcntl.h>
#include <fnmatch.h>
#include <sys/stat.h>

namespace {
// A pattern without a folder looks in the current one.
std::string folderOf(const std::string& pattern) {
    const size_t slash = pattern.rfind('/');
    if (slash == std::string::npos) return std::string(".");
    return slash == 0 ? std::string("/") : pattern.substr(0, slash);
}
}  // namespace

// Without a slash, rfind gives npos and npos + 1 is 0: the whole pattern is the wildcard.
PosixFileEnumerator::PosixFileEnumerator(const std::string& pattern, int mode)
    : folder_(folderOf(pattern)), wildcard_(pattern.substr(pattern.rfind('/') + 1)), mode_(mode) {}

PosixFileEnumerator::~PosixFileEnumerator() {
    finish();
}

bool PosixFileEnumerator::next() {
    if (!started_) {
        started_ = true;
        dir_ = opendir(folder_.c_str());
    }
    if (!dir_) return false;
    while (const dirent* entry = readdir(dir_)) {
        // Without FNM_PERIOD a leading "*" matches "." and "..", which mode 1 returns.
        if (fnmatch(wildcard_.c_str(), entry->d_name, 0) != 0) continue;
        if (isDirectory(*entry) != (mode_ == kDirectories)) continue;
        name_ = entry->d_name;
        return true;
    }
    finish();
    return false;
}

bool PosixFileEnumerator::isDirectory(const dirent& entry) const {
    if (entry.d_type != DT_UNKNOWN && entry.d_type != DT_LNK) return entry.d_type == DT_DIR;
    // Links count as what they point to.
    struct stat info;
    return fstatat(dirfd(dir_), entry.d_name, &info, 0) == 0 && S_ISDIR(info.st_mode);
}

void PosixFileEnumerator::finish() {
    if (dir_) closedir(dir_);
    dir_ = nullptr;
}

std::unique_ptr<FileEnumerator> createFileEnumerator(const std::string& pattern, int mode) {
    return std::make_unique<PosixFileEnumerator>(pattern, mode);
}
