#include "framework/posix/TemporaryFiles.h"

#include <dirent.h>
#include <fcntl.h>
#include <signal.h>
#include <unistd.h>

#include <array>
#include <atomic>
#include <cerrno>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <ctime>

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

// Claims a slot and publishes `path` in it; nullptr when the table is full or the path too long.
Slot* registerPath(const std::string& path) {
    if (path.size() >= kPathBytes) return nullptr;
    for (Slot& slot : slots) {
        bool expected = false;
        if (!slot.used.compare_exchange_strong(expected, true)) continue;
        std::memcpy(slot.path, path.c_str(), path.size() + 1);
        slot.ready.store(true, std::memory_order_release);
        return &slot;
    }
    return nullptr;
}

void unregister(Slot* slot) {
    if (!slot) return;
    slot->ready.store(false, std::memory_order_release);
    slot->used.store(false, std::memory_order_release);
}

// Six name characters as mkstemp uses, from a generator seeded once per process.
std::string randomSuffix() {
    static constexpr char kLetters[] =
        "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789";
    static const uint64_t seed = [] {
        timespec now{};
        clock_gettime(CLOCK_REALTIME, &now);
        return static_cast<uint64_t>(now.tv_sec) * 1000000007ull ^
               static_cast<uint64_t>(now.tv_nsec) << 16 ^ static_cast<uint64_t>(getpid());
    }();
    static std::atomic<uint64_t> counter{0};
    uint64_t x = seed + (counter.fetch_add(1) + 1) * 0x9E3779B97F4A7C15ull;
    x = (x ^ (x >> 30)) * 0xBF58476D1CE4E5B9ull;
    x = (x ^ (x >> 27)) * 0x94D049BB133111EBull;
    x ^= x >> 31;
    std::string suffix(6, 'A');
    for (char& c : suffix) {
        c = kLetters[x % (sizeof kLetters - 1)];
        x /= sizeof kLetters - 1;
    }
    return suffix;
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
    const std::string stem =
        folderOf(target) + "/." + nameOf(target) + "." + std::to_string(getpid()) + ".";
    // The name is registered before the file exists, so a signal at any moment finds it.
    for (int attempt = 0; attempt < 100; ++attempt) {
        const std::string candidate = stem + randomSuffix();
        Slot* slot = registerPath(candidate);
        const int fd = open(candidate.c_str(), O_RDWR | O_CREAT | O_EXCL | O_CLOEXEC, 0600);
        if (fd >= 0) {
            *path = candidate;
            return fd;
        }
        const int error = errno;
        unregister(slot);
        if (error != EEXIST) {
            errno = error;
            return -1;
        }
    }
    errno = EEXIST;
    return -1;
}

void release(const std::string& path) {
    for (Slot& slot : slots) {
        if (slot.ready.load(std::memory_order_acquire) && path == slot.path) {
            unregister(&slot);
            return;
        }
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
