#include "persistence/BinaryDataWriter.h"

#include <algorithm>
#include <bit>
#include <cstring>
#include <fstream>
#include <sstream>

#include "wave/Assert.h"

static_assert(std::endian::native == std::endian::little, "records are stored little-endian");

namespace {
constexpr size_t kIdentifierSize = 4;
}  // namespace

BinaryDataWriter::BinaryDataWriter(std::unique_ptr<std::ostream> stream)
    : stream_(std::move(stream)) {
    VORN_ASSERT(stream_);
}

BinaryDataWriter::~BinaryDataWriter() = default;

void BinaryDataWriter::writeHeader(std::string_view identifier, int32_t version) {
    char bytes[kIdentifierSize] = {};
    std::memcpy(bytes, identifier.data(), std::min(identifier.size(), kIdentifierSize));
    writeBytes(bytes, kIdentifierSize);
    writeInt32(version);
}

void BinaryDataWriter::writeInt32(int32_t value) {
    writeBytes(&value, sizeof value);
}

void BinaryDataWriter::writeFloat(float value) {
    writeBytes(&value, sizeof value);
}

void BinaryDataWriter::writeBytes(const void* data, size_t size) {
    VORN_ASSERT(data || size == 0);
    stream_->write(static_cast<const char*>(data), static_cast<std::streamsize>(size));
}

bool BinaryDataWriter::good() const {
    return stream_->good();
}

bool BinaryDataWriter::flush() {
    stream_->flush();
    return good();
}

BinaryFileWriter::BinaryFileWriter(const std::string& path)
    : BinaryDataWriter(std::make_unique<std::ofstream>(path, std::ios::binary | std::ios::trunc)) {}

BinaryMemoryWriter::BinaryMemoryWriter()
    : BinaryDataWriter(std::make_unique<std::ostringstream>(std::ios::binary)) {}

std::vector<uint8_t> BinaryMemoryWriter::bytes() const {
    const std::string text = static_cast<const std::ostringstream&>(stream()).str();
    return std::vector<uint8_t>(text.begin(), text.end());
}
