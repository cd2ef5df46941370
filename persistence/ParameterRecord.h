#pragma once

#include <cstdint>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "persistence/ParameterCollection.h"

class BinaryDataReader;
class BinaryDataWriter;
class PresetLoader;

// The parameter collection record: four identifier bytes (NUL-padded), int32 version, int32
// count, then count float32 plain values in collection order, all little-endian.
namespace ParameterRecord {

constexpr int kAnyVersion = -1;
constexpr size_t kHeaderSize = 12;
constexpr size_t kIdentifierSize = 4;

// The version new records are written with. Process-wide; starts at 1, a product sets its own
// before it saves anything.
int currentVersion();
void setCurrentVersion(int version);

// The identifier as it is stored: exactly four bytes, cut or NUL-padded.
std::string paddedIdentifier(std::string_view identifier);
size_t recordSize(int valueCount);

// Header and current values of the collection.
void write(BinaryDataWriter& writer, const ParameterCollection& collection, int version);
std::vector<uint8_t> encode(const ParameterCollection& collection, int version);
// Writes the record to a file atomically; false leaves any old file untouched.
bool writeCollection(const ParameterCollection& collection, const std::string& path, int version);

// Reads one record through the loader:
// - the identifier must equal loader.identifier(version) (or a non-empty override), padding
//   included, and the version must equal expectedVersion, or with kAnyVersion be accepted by the
//   loader; otherwise false before anything changes;
// - inside one update batch of the loader's owner: prepare, min(count, loader.count()) stored
//   values, defaults for the positions the record lacks (surplus values stay unread), finish;
// - false when the stream failed or ended early; values read before that stay applied.
bool readRecord(PresetLoader& loader, BinaryDataReader& reader, int expectedVersion = kAnyVersion,
                std::string_view identifierOverride = {});

// A record of exactly this version into the collection.
bool loadCollection(const ParameterCollection& collection, BinaryDataReader& reader, int version);
bool loadCollection(const ParameterCollection& collection, const std::string& path, int version);

}  // namespace ParameterRecord
