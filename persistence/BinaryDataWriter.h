#pragma once

#include <cstdint>
#include <memory>
#include <ostream>
#include <string>
#include <string_view>
#include <vector>

// Little-endian writes of the record formats into a byte stream the writer owns.
class BinaryDataWriter {
public:
    explicit BinaryDataWriter(std::unique_ptr<std::ostream> stream);
    virtual ~BinaryDataWriter();
    BinaryDataWriter(const BinaryDataWriter&) = delete;
    BinaryDataWriter& operator=(const BinaryDataWriter&) = delete;

    // The identifier as exactly four bytes (cut or NUL-padded), then the version.
    void writeHeader(std::string_view identifier, int32_t version);
    void writeInt32(int32_t value);
    void writeFloat(float value);
    void writeBytes(const void* data, size_t size);

    bool good() const;
    // Pushes buffered bytes to the stream's destination; returns good().
    bool flush();

protected:
    std::ostream& stream() { return *stream_; }
    const std::ostream& stream() const { return *stream_; }

private:
    std::unique_ptr<std::ostream> stream_;
};

// A file opened for binary writing, created or truncated. Prefer writeFileAtomically
// (persistence/AtomicFile.h) for files the user keeps.
class BinaryFileWriter : public BinaryDataWriter {
public:
    explicit BinaryFileWriter(const std::string& path);
};

// Collects the bytes in memory.
class BinaryMemoryWriter : public BinaryDataWriter {
public:
    BinaryMemoryWriter();
    std::vector<uint8_t> bytes() const;
};
