#include "persistence/BinaryDataReader.h"

#include <bit>
#include <cstring>
#include <sstream>
#include <vector>

#include "framework/posix/RegularFile.h"
#include "persistence/ResourceOpener.h"
#include "wave/Assert.h"

static_assert(std::endian::native == std::endian::little, "records are stored little-endian");

namespace {

// A read-only, seekable view of bytes owned elsewhere.
class SpanBuffer : public std::streambuf {
public:
    explicit SpanBuffer(std::span<const uint8_t> bytes) {
        char* begin = const_cast<char*>(reinterpret_cast<const char*>(bytes.data()));
        setg(begin, begin, begin + bytes.size());
    }

protected:
    pos_type seekoff(off_type offset, std::ios_base::seekdir dir,
                     std::ios_base::openmode which) override {
        if (!(which & std::ios_base::in)) return pos_type(off_type(-1));
        off_type base = 0;
        if (dir == std::ios_base::cur) base = gptr() - eback();
        if (dir == std::ios_base::end) base = egptr() - eback();
        return seekpos(pos_type(base + offset), which);
    }
    pos_type seekpos(pos_type position, std::ios_base::openmode which) override {
        const off_type p = off_type(position);
        if (!(which & std::ios_base::in) || p < 0 || p > egptr() - eback())
            return pos_type(off_type(-1));
        setg(eback(), eback() + p, egptr());
        return position;
    }
};

// An istream that owns its buffer.
class SpanStream : public std::istream {
public:
    explicit SpanStream(std::span<const uint8_t> bytes) : std::istream(nullptr), buffer_(bytes) {
        rdbuf(&buffer_);
    }

private:
    SpanBuffer buffer_;
};

}  // namespace

BinaryDataReader::BinaryDataReader(std::unique_ptr<std::istream> stream)
    : stream_(std::move(stream)) {
    VORN_ASSERT(stream_);
}

BinaryDataReader::~BinaryDataReader() = default;

std::string BinaryDataReader::readHeader() {
    char identifier[4];
    int32_t version = 0;
    if (!readBytes(identifier, sizeof identifier) || !readInt32(version)) return {};
    version_ = version;
    return std::string(identifier, sizeof identifier);
}

bool BinaryDataReader::readBytes(void* data, size_t size) {
    if (!stream_->good()) return false;
    stream_->read(static_cast<char*>(data), static_cast<std::streamsize>(size));
    return !stream_->fail();
}

bool BinaryDataReader::readInt32(int32_t& value) {
    uint8_t bytes[4];
    if (!readBytes(bytes, sizeof bytes)) return false;
    std::memcpy(&value, bytes, sizeof bytes);
    return true;
}

bool BinaryDataReader::readFloat(float& value) {
    uint8_t bytes[4];
    if (!readBytes(bytes, sizeof bytes)) return false;
    std::memcpy(&value, bytes, sizeof bytes);
    return true;
}

bool BinaryDataReader::good() const {
    return !stream_->fail() && !stream_->bad();
}

bool BinaryDataReader::rewind() {
    stream_->clear();
    stream_->seekg(0);
    version_ = -1;
    return !stream_->fail();
}

namespace {

// Records are a few kilobytes; the whole file is read at once, and never from a FIFO or device.
std::unique_ptr<std::istream> openFileStream(const std::string& path) {
    constexpr size_t kLargestFile = 64 << 20;
    std::vector<uint8_t> bytes;
    auto stream = std::make_unique<std::istringstream>();
    if (!readRegularFile(path, &bytes, kLargestFile)) {
        stream->setstate(std::ios::badbit);
    } else {
        stream->str(std::string(bytes.begin(), bytes.end()));
    }
    return stream;
}

}  // namespace

BinaryFileReader::BinaryFileReader(const std::string& path)
    : BinaryDataReader(openFileStream(path)) {}

BinaryMemoryReader::BinaryMemoryReader(std::span<const uint8_t> bytes)
    : BinaryDataReader(std::make_unique<SpanStream>(bytes)) {}

BinaryResourceReader::BinaryResourceReader(std::string_view name)
    : BinaryMemoryReader(openResource(name)) {}
