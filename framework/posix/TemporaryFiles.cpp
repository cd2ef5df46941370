#include "framework/posix/TemporaryFiles.h"

#include <dirent.h>
#include <fcntl.h>
#include <signal.h>
#include <unistd.h>

#include <array>
#include <atomic>
#include <cerrno>
#include <cstdlib>
#include <cstring>

namespace temporary_files {
namespace {

// A handful of files are open at once (a render, a save); the table is fixed so that the
// signal handler only reads plain memory.
constexpr size_t kSlots = 16;
constexpr size_t kPathBytes = 4096;
constexpr int kSignals[] = {SIGINT, SIGTERM, SIGHUP};

struct Slot {
    std::atomic<bool> used{false};
    std::atomic<bool> ready{false};
    char path[kPathBytes];
};
std::array<Slot, kSlots> slots;

void registerPath(const std::string& path) {
    if (path.size() >= kPathBytes) return;
    for (Slot& slot : slots) {
        bool expected = false;
        if (!slot.used.compare_exchange_strong(expected, true)) continue;
        std::memcpy(slot.path, path.c_str(), path.size() + 1);
        slot.ready.store(true, std::memory_order_release);
        return;
    }
}

void onSignal(int signal) {
    for (Slot& slot : slots) {
        if (slot.ready.load(std::memory_order_acquire)) unlink(slot.path);
    }
    ::signal(signal, SIG_DFL);
    raise(signal);
}

std::string folderOf(const std::string& target) {
    const size_t slash = target.rfind('/');
    if (slash == std::string::npos) return ".";
    return slash == 0 ? "/" : target.substr(0, slash);
}

std::string nameOf(const std::string& target) {
    const size_t slash = target.rfind('/');
    return slash == std::string::npos ? target : target.substr(slash + 1);
}

// The process id in ".<name>.<pid>.XXXXXX", or 0 when the entry is not of that form.
pid_t writerOf(const char* entry, const std::string& prefix) {
    if (std::strncmp(entry, prefix.c_str(), prefix.size()) != 0) return 0;
    const char* digits = entry + prefix.size();
    char* end = nullptr;
    errno = 0;
    const long pid = std::strtol(digits, &end, 10);
    if (end == digits || errno != 0 || pid <= 0 || *end != '.' || std::strlen(end + 1) != 6) {
        return 0;
    }
    return static_cast<pid_t>(pid);
}

}  // namespace

int removeStale(const std::string& target) {
    const std::string folder = folderOf(target);
    const std::string prefix = "." + nameOf(target) + ".";
    DIR* dir = opendir(folder.c_str());
    if (!dir) return 0;
    int removed = 0;
    while (const dirent* entry = readdir(dir)) {
        const pid_t pid = writerOf(entry->d_name, prefix);
        if (pid == 0 || pid == getpid()) continue;
        if (kill(pid, 0) == 0 || errno != ESRCH) continue;  // alive, or not ours to judge
        if (unlinkat(dirfd(dir), entry->d_name, 0) == 0) ++removed;
    }
    closedir(dir);
    return removed;
}

int create(const std::string& target, std::string* path) {
    removeStale(target);
    std::string pattern =
        folderOf(target) + "/." + nameOf(target) + "." + std::to_string(getpid()) + ".XXXXXX";
    const int fd = mkostemp(pattern.data(), O_CLOEXEC);
    if (fd < 0) return -1;
    registerPath(pattern);
    *path = pattern;
    return fd;
}

void release(const std::string& path) {
    for (Slot& slot : slots) {
        if (!slot.ready.load(std::memory_order_acquire) || path != slot.path) continue;
        slot.ready.store(false, std::memory_order_release);
        slot.used.store(false, std::memory_order_release);
        return;
    }
}

void discard(const std::string& path) {
    unlink(path.c_str());
    release(path);
}

void installSignalCleanup() {
    struct sigaction action {};
    action.sa_handler = onSignal;
    sigemptyset(&action.sa_mask);
    for (const int signal : kSignals) sigaction(signal, &action, nullptr);
}

}  // namespace temporary_files
