#include "persistence/PresetFolder.h"

#include <algorithm>
#include <cctype>
#include <chrono>
#include <cstdlib>

#include "framework/FileEnumerator.h"

namespace {

constexpr char kSeparator = '/';
constexpr char kPinMark = '_';

unsigned char folded(char c) {
    return static_cast<unsigned char>(std::tolower(static_cast<unsigned char>(c)));
}

bool endsWithIgnoringCase(const std::string& text, const std::string& suffix) {
    if (suffix.size() > text.size()) return false;
    return std::equal(suffix.begin(), suffix.end(), text.end() - suffix.size(),
                      [](char a, char b) { return folded(a) == folded(b); });
}

std::string lastComponent(const std::string& folderPath) {
    // folderPath ends in the separator.
    const size_t end = folderPath.size() - 1;
    const size_t slash = folderPath.rfind(kSeparator, end == 0 ? 0 : end - 1);
    if (slash == std::string::npos || slash == end) return folderPath.substr(0, end);
    return folderPath.substr(slash + 1, end - slash - 1);
}

}  // namespace

PresetEntry PresetEntry::fromPath(const std::string& path) {
    PresetEntry entry;
    entry.path = path;
    const size_t slash = path.rfind(kSeparator);
    entry.name = slash == std::string::npos ? path : path.substr(slash + 1);
    const size_t dot = entry.name.rfind('.');
    if (dot != std::string::npos && dot > 0) entry.name.erase(dot);
    entry.displayName = entry.name;
    return entry;
}

namespace {

// The folder with every symbolic link resolved, ending in "/"; empty when it cannot be.
std::string realFolder(const std::string& path) {
    char* resolved = realpath(path.c_str(), nullptr);
    if (!resolved) return {};
    std::string folder(resolved);
    std::free(resolved);
    if (folder.back() != '/') folder += '/';
    return folder;
}

// A link to the folder itself or to one it lies in would be scanned again and again.
bool leadsBack(const std::string& child, const std::string& folder) {
    return !child.empty() && folder.compare(0, child.size(), child) == 0;
}

}  // namespace

int64_t steadyMilliseconds() {
    return std::chrono::duration_cast<std::chrono::milliseconds>(
               std::chrono::steady_clock::now().time_since_epoch())
        .count();
}

bool presetNameLess(const std::string& a, const std::string& b) {
    return std::lexicographical_compare(a.begin(), a.end(), b.begin(), b.end(),
                                        [](char x, char y) { return folded(x) < folded(y); });
}

PresetFolder::PresetFolder(const std::string& path, const std::string& extension, int budgetMs,
                           ScanClock clock)
    : extension_(extension), clock_(clock) {
    scan(path, budgetMs);
}

void PresetFolder::scan(const std::string& path, int budgetMs) {
    const int64_t start = clock_();
    subfolders_.clear();
    presets_.clear();

    path_ = path;
    if (!path_.empty() && path_.back() != kSeparator) path_ += kSeparator;
    name_ = path_.empty() ? std::string() : lastComponent(path_);
    pinned_ = !name_.empty() && name_.front() == kPinMark;
    if (pinned_) name_.erase(0, 1);
    if (path_.empty() || budgetMs < 1) return;

    const std::string real = realFolder(path_);
    auto folders = createFileEnumerator(path_ + "*", FileEnumerator::kDirectories);
    while (folders->next()) {
        const std::string& child = folders->name();
        if (child == "." || child == ".." || leadsBack(realFolder(path_ + child), real)) continue;
        const int remaining = budgetMs - static_cast<int>(clock_() - start);
        subfolders_.push_back(
            std::make_unique<PresetFolder>(path_ + child, extension_, remaining, clock_));
    }
    std::stable_sort(subfolders_.begin(), subfolders_.end(), [](const auto& a, const auto& b) {
        if (a->pinned_ != b->pinned_) return a->pinned_;
        return presetNameLess(a->name_, b->name_);
    });

    // Extensions match ignoring case, as file systems of other platforms do.
    auto files = createFileEnumerator(path_ + "*", FileEnumerator::kFiles);
    while (files->next()) {
        const std::string& file = files->name();
        if (!endsWithIgnoringCase(file, extension_)) continue;
        PresetEntry entry;
        entry.path = path_ + file;
        entry.name = file.substr(0, file.size() - extension_.size());
        entry.displayName = entry.name;
        presets_.push_back(std::move(entry));
    }
    std::stable_sort(
        presets_.begin(), presets_.end(),
        [](const PresetEntry& a, const PresetEntry& b) { return presetNameLess(a.name, b.name); });
}

void PresetFolder::collect(std::vector<PresetEntry*>& out) {
    for (auto& folder : subfolders_) folder->collect(out);
    for (PresetEntry& entry : presets_) out.push_back(&entry);
}

void PresetFolder::collect(std::vector<const PresetEntry*>& out) const {
    for (const auto& folder : subfolders_) folder->collect(out);
    for (const PresetEntry& entry : presets_) out.push_back(&entry);
}
