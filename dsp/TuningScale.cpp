#include "dsp/TuningScale.h"

#include <charconv>
#include <cmath>
#include <cstdint>

namespace {

// Non-comment lines with their 1-based numbers; a trailing '\r' is dropped.
struct ScalaLines {
    std::vector<std::pair<int, std::string_view>> lines;
    int lastLine = 0;

    explicit ScalaLines(std::string_view text) {
        int number = 0;
        while (!text.empty()) {
            const size_t end = text.find('\n');
            std::string_view line = text.substr(0, end);
            text = end == std::string_view::npos ? std::string_view() : text.substr(end + 1);
            ++number;
            if (!line.empty() && line.back() == '\r') line.remove_suffix(1);
            if (!line.empty() && line.front() == '!') continue;
            lines.emplace_back(number, line);
        }
        lastLine = number;
    }
};

std::string_view firstToken(std::string_view line) {
    const size_t start = line.find_first_not_of(" \t");
    if (start == std::string_view::npos) return {};
    line.remove_prefix(start);
    return line.substr(0, line.find_first_of(" \t"));
}

bool readInt(std::string_view token, int64_t& value) {
    if (!token.empty() && token.front() == '+') token.remove_prefix(1);
    const auto [end, ec] = std::from_chars(token.data(), token.data() + token.size(), value);
    return ec == std::errc() && end == token.data() + token.size();
}

bool readDouble(std::string_view token, double& value) {
    if (!token.empty() && token.front() == '+') token.remove_prefix(1);
    const auto [end, ec] = std::from_chars(token.data(), token.data() + token.size(), value);
    return ec == std::errc() && end == token.data() + token.size() && std::isfinite(value);
}

constexpr double kMaxCents = 120000.0;

// One pitch line: cents when it holds a '.', else a ratio a/b or a whole number a.
bool readPitch(std::string_view line, double& cents, std::string& why) {
    const std::string_view token = firstToken(line);
    if (token.find('.') != std::string_view::npos) {
        if (!readDouble(token, cents)) {
            why = "unreadable cents value '" + std::string(token) + "'";
            return false;
        }
        if (std::fabs(cents) > kMaxCents) {
            why = "cents value '" + std::string(token) + "' is beyond 100 octaves";
            return false;
        }
        return true;
    }
    const size_t slash = token.find('/');
    int64_t num = 0;
    int64_t den = 1;
    if (!readInt(token.substr(0, slash), num) ||
        (slash != std::string_view::npos && !readInt(token.substr(slash + 1), den))) {
        why = "unreadable pitch '" + std::string(token) + "'";
        return false;
    }
    if (num <= 0 || den <= 0) {
        why = "ratio '" + std::string(token) + "' needs two positive parts";
        return false;
    }
    cents = 1200.0 * std::log2(static_cast<double>(num) / static_cast<double>(den));
    return true;
}

bool fail(ScalaError& error, int line, std::string message) {
    error.line = line;
    error.message = std::move(message);
    return false;
}

}  // namespace

std::string ScalaError::text() const {
    return line > 0 ? "line " + std::to_string(line) + ": " + message : message;
}

bool TuningScale::parse(std::string_view text, TuningScale& scale, ScalaError& error) {
    const ScalaLines input(text);
    const auto& lines = input.lines;
    if (lines.size() < 2) return fail(error, input.lastLine + 1, "missing note count");
    const auto [countLine, countText] = lines[1];
    int64_t count = 0;
    if (!readInt(firstToken(countText), count)) {
        return fail(error, countLine, "missing note count");
    }
    if (count < 1) return fail(error, countLine, "a scale needs at least one note");
    if (count > kMaxNotes) {
        return fail(error, countLine, "more than " + std::to_string(kMaxNotes) + " notes");
    }
    TuningScale result;
    result.description = std::string(lines[0].second);
    size_t i = 2;
    for (; i < lines.size(); ++i) {
        const auto [number, line] = lines[i];
        if (firstToken(line).empty()) continue;
        if (std::ssize(result.cents) == count) {
            return fail(error, number,
                        "more pitch lines than the note count " + std::to_string(count));
        }
        double cents = 0.0;
        std::string why;
        if (!readPitch(line, cents, why)) return fail(error, number, why);
        result.cents.push_back(cents);
    }
    if (std::ssize(result.cents) < count) {
        return fail(error, countLine,
                    "note count " + std::to_string(count) + " but " +
                        std::to_string(result.cents.size()) + " pitch lines");
    }
    scale = std::move(result);
    return true;
}

double TuningScale::degreeCents(int degree) const {
    const int n = static_cast<int>(cents.size());
    const int cycle = degree >= 0 ? degree / n : -((-degree + n - 1) / n);
    const int step = degree - cycle * n;
    const double period = cents.back();
    return cycle * period + (step == 0 ? 0.0 : cents[static_cast<size_t>(step - 1)]);
}

TuningScale TuningScale::equal(int notes) {
    TuningScale scale;
    scale.description = std::to_string(notes) + "-tone equal temperament";
    for (int k = 1; k <= notes; ++k) scale.cents.push_back(1200.0 * k / notes);
    return scale;
}

namespace {

struct HeaderField {
    const char* name;
    int64_t low;
    int64_t high;
};

constexpr HeaderField kMapFields[] = {{"map size", 0, TuningScale::kMaxNotes},
                                      {"first note", 0, 127},
                                      {"last note", 0, 127},
                                      {"middle note", 0, 127},
                                      {"reference note", 0, 127}};
constexpr int kFrequencyField = 5;
constexpr int kHeaderLines = 7;

bool readMapHeader(const std::vector<std::pair<int, std::string_view>>& lines, int lastLine,
                   KeyboardMapping& map, ScalaError& error) {
    int* ints[] = {&map.size, &map.firstNote, &map.lastNote, &map.middleNote, &map.referenceNote};
    for (int f = 0; f < kHeaderLines; ++f) {
        const bool present = f < std::ssize(lines);
        const int line = present ? lines[static_cast<size_t>(f)].first : lastLine + 1;
        const std::string_view token =
            present ? firstToken(lines[static_cast<size_t>(f)].second) : std::string_view();
        if (f == kFrequencyField) {
            if (!readDouble(token, map.referenceFrequency) || map.referenceFrequency <= 0.0) {
                return fail(error, line, "reference frequency must be a positive number");
            }
            continue;
        }
        int64_t value = 0;
        if (f == kHeaderLines - 1) {
            if (!readInt(token, value) || value < 0 || value > TuningScale::kMaxNotes) {
                return fail(error, line, "formal octave degree must be a number 0..1024");
            }
            map.octaveDegree = static_cast<int>(value);
            continue;
        }
        const HeaderField& field = kMapFields[f];
        if (!readInt(token, value) || value < field.low || value > field.high) {
            return fail(error, line,
                        std::string(field.name) + " must be a number " + std::to_string(field.low) +
                            ".." + std::to_string(field.high));
        }
        *ints[f] = static_cast<int>(value);
    }
    return true;
}

}  // namespace

bool KeyboardMapping::parse(std::string_view text, KeyboardMapping& mapping, ScalaError& error) {
    const ScalaLines input(text);
    std::vector<std::pair<int, std::string_view>> lines;
    for (const auto& line : input.lines) {
        if (!firstToken(line.second).empty()) lines.push_back(line);
    }
    KeyboardMapping map;
    if (!readMapHeader(lines, input.lastLine, map, error)) return false;
    for (size_t i = kHeaderLines; i < lines.size(); ++i) {
        const auto [number, line] = lines[i];
        if (std::ssize(map.keys) == map.size) {
            return fail(error, number, "more keys than the map size " + std::to_string(map.size));
        }
        const std::string_view token = firstToken(line);
        int64_t degree = 0;
        if (token == "x" || token == "X") {
            degree = kUnmapped;
        } else if (!readInt(token, degree) || degree < 0 || degree > TuningScale::kMaxNotes) {
            return fail(error, number, "key must be a scale degree 0..1024 or 'x'");
        }
        map.keys.push_back(static_cast<int>(degree));
    }
    // Keys the file leaves out are unmapped.
    map.keys.resize(static_cast<size_t>(map.size), kUnmapped);
    mapping = std::move(map);
    return true;
}

int KeyboardMapping::degreeOf(int note, int scaleSize) const {
    if (note < firstNote || note > lastNote) return kUnmapped;
    const int offset = note - middleNote;
    if (size == 0) return offset;
    const int cycle = offset >= 0 ? offset / size : -((-offset + size - 1) / size);
    const int entry = keys[static_cast<size_t>(offset - cycle * size)];
    if (entry == kUnmapped) return kUnmapped;
    return entry + cycle * (octaveDegree > 0 ? octaveDegree : scaleSize);
}
