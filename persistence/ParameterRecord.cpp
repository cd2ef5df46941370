#include "persistence/ParameterRecord.h"

#include <algorithm>
#include <atomic>

#include "framework/AbstractPluginParameter.h"
#include "framework/GenericParameterOwner.h"
#include "persistence/AtomicFile.h"
#include "persistence/BinaryDataReader.h"
#include "persistence/BinaryDataWriter.h"
#include "persistence/PresetLoader.h"
#include "wave/Assert.h"

namespace ParameterRecord {

namespace {
std::atomic<int> recordVersion{1};

// Opens and closes the owner's update batch around a load.
class UpdateBatch {
public:
    explicit UpdateBatch(GenericParameterOwner& owner) : owner_(owner) { owner_.beginUpdate(); }
    ~UpdateBatch() { owner_.endUpdate(); }
    UpdateBatch(const UpdateBatch&) = delete;
    UpdateBatch& operator=(const UpdateBatch&) = delete;

private:
    GenericParameterOwner& owner_;
};
}  // namespace

int currentVersion() {
    return recordVersion.load(std::memory_order_relaxed);
}

void setCurrentVersion(int version) {
    recordVersion.store(version, std::memory_order_relaxed);
}

std::string paddedIdentifier(std::string_view identifier) {
    std::string padded(identifier.substr(0, std::min(identifier.size(), kIdentifierSize)));
    padded.resize(kIdentifierSize, '\0');
    return padded;
}

size_t recordSize(int valueCount) {
    return kHeaderSize + sizeof(float) * static_cast<size_t>(std::max(valueCount, 0));
}

void write(BinaryDataWriter& writer, const ParameterCollection& collection, int version) {
    writer.writeHeader(collection.identifier, version);
    writer.writeInt32(collection.size());
    if (!writer.good()) return;
    for (const AbstractPluginParameter* p : collection.parameters) {
        VORN_ASSERT(p);
        writer.writeFloat(p->getValue());
    }
}

std::vector<uint8_t> encode(const ParameterCollection& collection, int version) {
    BinaryMemoryWriter writer;
    write(writer, collection, version);
    return writer.bytes();
}

bool writeCollection(const ParameterCollection& collection, const std::string& path, int version) {
    return writeFileAtomically(path, encode(collection, version));
}

bool readRecord(PresetLoader& loader, BinaryDataReader& reader, int expectedVersion,
                std::string_view identifierOverride) {
    const std::string identifier = reader.readHeader();
    if (identifier.empty()) return false;
    const int version = reader.version();
    const std::string expected = identifierOverride.empty()
                                     ? paddedIdentifier(loader.identifier(version))
                                     : paddedIdentifier(identifierOverride);
    if (identifier != expected) return false;
    if (expectedVersion != kAnyVersion) {
        if (version != expectedVersion) return false;
    } else if (!loader.acceptVersion(version)) {
        return false;
    }

    UpdateBatch batch(loader.owner());
    loader.prepare(version);
    const int wanted = loader.count();
    int32_t stored = 0;
    bool complete = reader.readInt32(stored);
    const int applied = complete ? std::clamp(stored, 0, wanted) : 0;
    for (int position = 0; complete && position < applied; ++position) {
        float value = 0.0f;
        complete = reader.readFloat(value);
        if (complete) loader.useValue(position, value);
    }
    // A record cut short keeps what was read and leaves the rest as it was.
    for (int position = applied; complete && position < wanted; ++position)
        loader.useDefault(position);
    loader.finish(version);
    return reader.good();
}

bool loadCollection(const ParameterCollection& collection, BinaryDataReader& reader, int version) {
    CollectionPresetLoader loader(collection);
    return readRecord(loader, reader, version);
}

bool loadCollection(const ParameterCollection& collection, const std::string& path, int version) {
    BinaryFileReader reader(path);
    return loadCollection(collection, reader, version);
}

}  // namespace ParameterRecord
