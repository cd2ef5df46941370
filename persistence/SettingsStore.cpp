#include "persistence/SettingsStore.h"

#include <algorithm>
#include <cerrno>
#include <charconv>
#include <cstdint>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <optional>
#include <system_error>

#include "framework/posix/RegularFile.h"
#include "persistence/AtomicFile.h"
#include "persistence/UserFolders.h"

namespace {

constexpr std::string_view kHeader = "# Vorn settings: name<TAB>dword|string|binary<TAB>value\n";
constexpr std::string_view kDword = "dword";
constexpr std::string_view kString = "string";
constexpr std::string_view kBinary = "binary";
constexpr char kHexDigits[] = "0123456789abcdef";
// A stored dword is any 32-bit pattern, written signed; unsigned text is accepted as well.
constexpr int64_t kMinDword = INT32_MIN;
constexpr int64_t kMaxDword = UINT32_MAX;

bool validKeyPath(std::string_view key) {
    if (key.empty()) return false;
    size_t start = 0;
    while (true) {
        const size_t end = std::min(key.find('/', start), key.size());
        const std::string_view part = key.substr(start, end - start);
        if (part.empty() || part == "." || part == "..") return false;
        if (end == key.size()) return true;
        start = end + 1;
    }
}

std::string escaped(std::string_view text) {
    std::string out;
    out.reserve(text.size());
    for (char c : text) {
        switch (c) {
            case '\\':
                out += "\\\\";
                break;
            case '\t':
                out += "\\t";
                break;
            case '\n':
                out += "\\n";
                break;
            case '\r':
                out += "\\r";
                break;
            case '\0':
                out += "\\0";
                break;
            default:
                out += c;
        }
    }
    return out;
}

std::optional<std::string> unescaped(std::string_view text) {
    std::string out;
    out.reserve(text.size());
    for (size_t i = 0; i < text.size(); ++i) {
        if (text[i] != '\\') {
            out += text[i];
            continue;
        }
        if (++i == text.size()) return std::nullopt;
        switch (text[i]) {
            case '\\':
                out += '\\';
                break;
            case 't':
                out += '\t';
                break;
            case 'n':
                out += '\n';
                break;
            case 'r':
                out += '\r';
                break;
            case '0':
                out += '\0';
                break;
            case '#':
                out += '#';
                break;
            default:
                return std::nullopt;
        }
    }
    return out;
}

std::optional<uint32_t> parseDword(std::string_view text) {
    int64_t v = 0;
    const char* end = text.data() + text.size();
    const auto [p, ec] = std::from_chars(text.data(), end, v);
    if (ec != std::errc() || p != end || v < kMinDword || v > kMaxDword) return std::nullopt;
    return static_cast<uint32_t>(v);
}

int hexValue(char c) {
    if (c >= '0' && c <= '9') return c - '0';
    if (c >= 'a' && c <= 'f') return c - 'a' + 10;
    if (c >= 'A' && c <= 'F') return c - 'A' + 10;
    return -1;
}

std::optional<std::vector<uint8_t>> parseHex(std::string_view text) {
    if (text.size() % 2 != 0) return std::nullopt;
    std::vector<uint8_t> bytes;
    bytes.reserve(text.size() / 2);
    for (size_t i = 0; i < text.size(); i += 2) {
        const int high = hexValue(text[i]);
        const int low = hexValue(text[i + 1]);
        if (high < 0 || low < 0) return std::nullopt;
        bytes.push_back(static_cast<uint8_t>(high << 4 | low));
    }
    return bytes;
}

std::optional<std::pair<std::string, SettingsStore::Value>> parseLine(std::string_view line) {
    const size_t tab1 = line.find('\t');
    if (tab1 == std::string_view::npos) return std::nullopt;
    const size_t tab2 = line.find('\t', tab1 + 1);
    if (tab2 == std::string_view::npos) return std::nullopt;
    const std::string_view type = line.substr(tab1 + 1, tab2 - tab1 - 1);
    const std::string_view text = line.substr(tab2 + 1);
    if (text.find('\t') != std::string_view::npos) return std::nullopt;
    std::optional<std::string> name = unescaped(line.substr(0, tab1));
    if (!name || name->empty()) return std::nullopt;

    if (type == kDword) {
        const std::optional<uint32_t> v = parseDword(text);
        if (!v) return std::nullopt;
        return std::pair{std::move(*name), SettingsStore::Value::ofDword(*v)};
    }
    if (type == kString) {
        std::optional<std::string> v = unescaped(text);
        if (!v) return std::nullopt;
        return std::pair{std::move(*name), SettingsStore::Value::ofString(std::move(*v))};
    }
    if (type == kBinary) {
        std::optional<std::vector<uint8_t>> v = parseHex(text);
        if (!v) return std::nullopt;
        return std::pair{std::move(*name), SettingsStore::Value::ofBinary(std::move(*v))};
    }
    return std::nullopt;
}

}  // namespace

SettingsStore::Value SettingsStore::Value::ofDword(uint32_t v) {
    Value value;
    value.type = Type::Dword;
    value.dword = v;
    return value;
}

SettingsStore::Value SettingsStore::Value::ofString(std::string v) {
    Value value;
    value.type = Type::String;
    value.text = std::move(v);
    return value;
}

SettingsStore::Value SettingsStore::Value::ofBinary(std::vector<uint8_t> v) {
    Value value;
    value.type = Type::Binary;
    value.bytes = std::move(v);
    return value;
}

SettingsStore::SettingsStore(std::string keyPath) {
    if (validKeyPath(keyPath))
        filePath_ = UserFolders::configuration() + "/" + keyPath + kFileExtension;
}

bool SettingsStore::load() {
    values_.clear();
    writable_ = !filePath_.empty();
    if (filePath_.empty()) return false;
    std::vector<uint8_t> bytes;
    if (!readRegularFile(filePath_, &bytes, kLargestFile)) {
        // A file that is there but cannot be read is kept as it is.
        writable_ = errno == ENOENT;
        return false;
    }
    bool clean = true;
    values_ =
        parse(std::string_view(reinterpret_cast<const char*>(bytes.data()), bytes.size()), &clean);
    writable_ = clean;
    return true;
}

bool SettingsStore::save() const {
    if (filePath_.empty()) return false;
    std::error_code error;
    std::filesystem::create_directories(std::filesystem::path(filePath_).parent_path(), error);
    const std::string text = format(values_);
    return writeFileAtomically(
        filePath_, std::span(reinterpret_cast<const uint8_t*>(text.data()), text.size()));
}

const SettingsStore::Value* SettingsStore::find(std::string_view name) const {
    const auto it = values_.find(name);
    return it == values_.end() ? nullptr : &it->second;
}

void SettingsStore::set(const std::string& name, Value value) {
    values_.insert_or_assign(name, std::move(value));
}

SettingsStore::Values SettingsStore::parse(std::string_view text, bool* clean) {
    Values values;
    if (clean) *clean = true;
    size_t start = 0;
    while (start < text.size()) {
        size_t end = text.find('\n', start);
        if (end == std::string_view::npos) end = text.size();
        std::string_view line = text.substr(start, end - start);
        start = end + 1;
        if (!line.empty() && line.back() == '\r') line.remove_suffix(1);
        if (line.empty() || line.front() == '#') continue;
        if (auto entry = parseLine(line)) {
            values.insert_or_assign(std::move(entry->first), std::move(entry->second));
        } else if (clean) {
            *clean = false;
        }
    }
    return values;
}

std::string SettingsStore::format(const Values& values) {
    std::string text(kHeader);
    for (const auto& [name, value] : values) {
        // A name starting with '#' must not turn its line into a comment.
        if (!name.empty() && name.front() == '#') text += '\\';
        text += escaped(name);
        text += '\t';
        switch (value.type) {
            case Type::Dword:
                text += kDword;
                text += '\t';
                text += std::to_string(static_cast<int32_t>(value.dword));
                break;
            case Type::String:
                text += kString;
                text += '\t';
                text += escaped(value.text);
                break;
            case Type::Binary:
                text += kBinary;
                text += '\t';
                for (uint8_t b : value.bytes) {
                    text += kHexDigits[b >> 4];
                    text += kHexDigits[b & 15];
                }
                break;
        }
        text += '\n';
    }
    return text;
}
