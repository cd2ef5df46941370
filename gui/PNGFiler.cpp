#include "gui/PNGFiler.h"

#include <zlib.h>

#include <algorithm>
#include <array>
#include <atomic>
#include <cmath>
#include <mutex>
#include <new>
#include <optional>
#include <utility>
#include <vector>

namespace gui {

namespace {

using GammaTable = std::array<uint8_t, 256>;

constexpr std::array<uint8_t, 8> kSignature = {0x89, 'P', 'N', 'G', 0x0d, 0x0a, 0x1a, 0x0a};

constexpr uint32_t chunkType(const char (&name)[5]) {
    return static_cast<uint32_t>(name[0]) << 24 | static_cast<uint32_t>(name[1]) << 16 |
           static_cast<uint32_t>(name[2]) << 8 | static_cast<uint32_t>(name[3]);
}

constexpr uint32_t kIHDR = chunkType("IHDR");
constexpr uint32_t kGAMA = chunkType("gAMA");
constexpr uint32_t kIDAT = chunkType("IDAT");
constexpr uint32_t kIEND = chunkType("IEND");

// Exponents closer than this share a table.
constexpr double kExponentTolerance = 1.1920929e-7;
// The exponent for images without gAMA: a gAMA of 45000 under the 2.2 display.
constexpr double kDefaultExponent = 1.0101009607;

[[noreturn]] void invalidImage() {
    throw EBitmap(EBitmap::Kind::InvalidImage);
}

[[noreturn]] void unsupported() {
    throw EBitmap(EBitmap::Kind::UnsupportedFormat);
}

uint32_t readBE32(const uint8_t* p) {
    return static_cast<uint32_t>(p[0]) << 24 | static_cast<uint32_t>(p[1]) << 16 |
           static_cast<uint32_t>(p[2]) << 8 | static_cast<uint32_t>(p[3]);
}

struct Chunk {
    uint32_t type = 0;
    std::span<const uint8_t> data;
};

// Steps through the chunks after the signature; every call moves on by at least 12 bytes, so a
// loop over them ends at the latest when the bytes run out ("Invalid PNG image").
class ChunkReader {
public:
    explicit ChunkReader(std::span<const uint8_t> bytes) : bytes_(bytes) {}

    Chunk next() {
        // Length, type, data, CRC.
        if (bytes_.size() - pos_ < 12) invalidImage();
        const uint32_t length = readBE32(&bytes_[pos_]);
        if (length > bytes_.size() - pos_ - 12) invalidImage();
        const Chunk chunk{readBE32(&bytes_[pos_ + 4]), bytes_.subspan(pos_ + 8, length)};
        pos_ += size_t{12} + length;
        return chunk;
    }

private:
    std::span<const uint8_t> bytes_;
    size_t pos_ = kSignature.size();
};

struct Header {
    int32_t width = 0;
    int32_t height = 0;
    int channels = 0;
};

Header readHeader(const Chunk& chunk) {
    if (chunk.type != kIHDR || chunk.data.size() != 13) invalidImage();
    const uint8_t* p = chunk.data.data();
    const uint32_t width = readBE32(p);
    const uint32_t height = readBE32(p + 4);
    const uint8_t depth = p[8], colour = p[9];
    if (width == 0 || height == 0 || depth != 8 || (colour != 2 && colour != 6) || p[10] != 0 ||
        p[11] != 0 || p[12] != 0) {
        unsupported();
    }
    if (width > PNGFiler::kMaxSide || height > PNGFiler::kMaxSide ||
        int64_t{width} * height > PNGFiler::kMaxPixels) {
        invalidImage();
    }
    return {static_cast<int32_t>(width), static_cast<int32_t>(height), colour == 6 ? 4 : 3};
}

uint32_t readGamma(const Chunk& chunk) {
    if (chunk.data.size() != 4) invalidImage();
    const uint32_t gamma = readBE32(chunk.data.data());
    if (gamma == 0) invalidImage();
    return gamma;
}

std::atomic<double> displayFactor{1.0};

double imageExponent(std::optional<uint32_t> gamma) {
    const double factor = displayFactor.load(std::memory_order_relaxed);
    if (!gamma) return kDefaultExponent * factor;
    return 1.0 / (*gamma * 0.00001 * 2.2) * factor;
}

// The process-wide table, rebuilt only when an image asks for another exponent. Entries are
// clamped: the scaled input slightly exceeds 1 at the top, which a large exponent magnifies.
GammaTable gammaTableFor(double exponent) {
    struct Shared {
        std::mutex mutex;
        double exponent = -1.0;
        GammaTable entries{};
    };
    static Shared shared;
    std::lock_guard lock(shared.mutex);
    if (std::fabs(exponent - shared.exponent) > kExponentTolerance) {
        for (int i = 0; i < 256; ++i) {
            const double value = std::pow(i * 0.003921569, exponent) * 255.0;
            shared.entries[i] = static_cast<uint8_t>(std::min(value, 255.0));
        }
        shared.exponent = exponent;
    }
    return shared.entries;
}

int paeth(int left, int up, int upLeft) {
    const int estimate = left + up - upLeft;
    const int toLeft = std::abs(estimate - left);
    const int toUp = std::abs(estimate - up);
    const int toUpLeft = std::abs(estimate - upLeft);
    if (toLeft <= toUp && toLeft <= toUpLeft) return left;
    return toUp <= toUpLeft ? up : upLeft;
}

// Undoes one row's filter in place; `previous` is the row above, decoded (zeros for the first).
void unfilter(uint8_t filter, uint8_t* row, const uint8_t* previous, size_t size, size_t step) {
    switch (filter) {
        case 0:
            return;
        case 1:
            for (size_t i = step; i < size; ++i) row[i] += row[i - step];
            return;
        case 2:
            for (size_t i = 0; i < size; ++i) row[i] += previous[i];
            return;
        case 3:
            for (size_t i = 0; i < size; ++i) {
                const int left = i >= step ? row[i - step] : 0;
                row[i] += static_cast<uint8_t>((left + previous[i]) >> 1);
            }
            return;
        case 4:
            for (size_t i = 0; i < size; ++i) {
                const int left = i >= step ? row[i - step] : 0;
                const int upLeft = i >= step ? previous[i - step] : 0;
                row[i] += static_cast<uint8_t>(paeth(left, previous[i], upLeft));
            }
            return;
        default:
            invalidImage();
    }
}

// colour x alpha / 255, rounded to nearest.
uint32_t premultiply(uint32_t colour, uint32_t alpha) {
    const uint32_t product = colour * alpha + 0x80;
    return (product + (product >> 8)) >> 8;
}

// Inflates the IDAT data as it comes and turns each complete row into pixels.
class RowDecoder {
public:
    RowDecoder(const Header& header, const GammaTable& gamma);
    ~RowDecoder() { inflateEnd(&stream_); }
    RowDecoder(const RowDecoder&) = delete;
    RowDecoder& operator=(const RowDecoder&) = delete;

    void feed(std::span<const uint8_t> compressed);
    // At IEND: the stream must have ended exactly after the last row.
    Bitmap finish();

private:
    bool inflateStep();
    void finishRow();
    void growPixels();

    Header header_;
    GammaTable gamma_;
    // Filter byte, then the row's bytes.
    std::vector<uint8_t> current_;
    std::vector<uint8_t> previous_;
    size_t filled_ = 0;
    int32_t row_ = 0;
    bool ended_ = false;
    std::vector<uint32_t> pixels_;
    z_stream stream_{};
};

RowDecoder::RowDecoder(const Header& header, const GammaTable& gamma)
    : header_(header),
      gamma_(gamma),
      current_(1 + static_cast<size_t>(header.width) * header.channels),
      previous_(current_.size()) {
    if (inflateInit(&stream_) != Z_OK) throw std::bad_alloc();
}

void RowDecoder::feed(std::span<const uint8_t> compressed) {
    if (compressed.empty()) return;
    stream_.next_in = const_cast<Bytef*>(compressed.data());
    stream_.avail_in = static_cast<uInt>(compressed.size());
    while (stream_.avail_in > 0 && !ended_) ended_ = inflateStep();
    // Compressed bytes after the end of the stream.
    if (stream_.avail_in > 0) invalidImage();
}

// One call of inflate into the rest of the current row, or, once every row is complete, into a
// spare byte that must stay unwritten. True at the end of the stream.
bool RowDecoder::inflateStep() {
    uint8_t spare = 0;
    const bool complete = row_ == header_.height;
    stream_.next_out = complete ? &spare : current_.data() + filled_;
    stream_.avail_out = complete ? 1 : static_cast<uInt>(current_.size() - filled_);
    // With input and room for output, inflate always progresses: no other result is expected.
    const int result = inflate(&stream_, Z_NO_FLUSH);
    if (result != Z_OK && result != Z_STREAM_END) invalidImage();
    if (complete) {
        if (stream_.avail_out == 0) invalidImage();
    } else {
        filled_ = current_.size() - stream_.avail_out;
        if (filled_ == current_.size()) finishRow();
    }
    return result == Z_STREAM_END;
}

void RowDecoder::finishRow() {
    const size_t step = static_cast<size_t>(header_.channels);
    unfilter(current_[0], current_.data() + 1, previous_.data() + 1, current_.size() - 1, step);
    growPixels();
    uint32_t* out = pixels_.data() + static_cast<size_t>(row_) * header_.width;
    const uint8_t* in = current_.data() + 1;
    for (int32_t x = 0; x < header_.width; ++x, in += step) {
        const uint32_t alpha = step == 4 ? in[3] : 0xff;
        out[x] = alpha << 24 | premultiply(gamma_[in[0]], alpha) << 16 |
                 premultiply(gamma_[in[1]], alpha) << 8 | premultiply(gamma_[in[2]], alpha);
    }
    std::swap(current_, previous_);
    filled_ = 0;
    ++row_;
}

// Memory follows the rows actually decoded, doubling, never past the whole image: a header
// promising a huge image costs nothing until its data arrives.
void RowDecoder::growPixels() {
    const size_t width = static_cast<size_t>(header_.width);
    const size_t needed = (static_cast<size_t>(row_) + 1) * width;
    if (needed > pixels_.capacity()) {
        const size_t whole = width * static_cast<size_t>(header_.height);
        pixels_.reserve(std::min(whole, std::max(needed, 2 * pixels_.capacity())));
    }
    pixels_.resize(needed);
}

Bitmap RowDecoder::finish() {
    if (!ended_ || row_ != header_.height) invalidImage();
    return Bitmap(header_.width, header_.height, std::move(pixels_));
}

}  // namespace

bool PNGFiler::accepts(std::span<const uint8_t> bytes) {
    return bytes.size() >= kSignature.size() &&
           std::equal(kSignature.begin(), kSignature.end(), bytes.begin());
}

Bitmap PNGFiler::load(std::span<const uint8_t> bytes) {
    if (!accepts(bytes)) throw EBitmap(EBitmap::Kind::InvalidSignature);
    ChunkReader chunks(bytes);
    const Header header = readHeader(chunks.next());
    std::optional<uint32_t> gamma;
    std::optional<RowDecoder> decoder;
    for (;;) {
        const Chunk chunk = chunks.next();
        if (chunk.type == kIDAT) {
            if (!decoder) decoder.emplace(header, gammaTableFor(imageExponent(gamma)));
            decoder->feed(chunk.data);
        } else if (chunk.type == kGAMA && !decoder) {
            gamma = readGamma(chunk);
        } else if (chunk.type == kIEND) {
            if (!decoder) invalidImage();
            return decoder->finish();
        } else if (chunk.type == kIHDR) {
            invalidImage();
        }
    }
}

void setDisplayGammaFactor(double factor) {
    if (!std::isfinite(factor) || factor <= 0.0) {
        throw std::invalid_argument("Display gamma factor must be finite and positive");
    }
    displayFactor.store(factor, std::memory_order_relaxed);
}

double displayGammaFactor() {
    return displayFactor.load(std::memory_order_relaxed);
}

}  // namespace gui
