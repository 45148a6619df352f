// ArchiveWriter.h: writes QZA archives for tests, benchmarks and fuzz seeds, never for
// the game. It packs a tree of stored or LZ-compressed members into archives of versions
// 0-3, hands out the unscrambled image with the offsets of every record so a test can
// damage any field, and scrambles with the product's own keys (QzArchive_Key.h), so the
// reader and the writer cannot drift apart.
//
// Its LZ side is a token builder that can be steered to every token kind, and a greedy
// encoder for whole members.
#pragma once

#include <cstdint>
#include <map>
#include <string>
#include <vector>

namespace qztest {

// ---- LZ blocks ------------------------------------------------------------------------------
// Builds one block token by token. It tracks the bytes the tokens decode to, so Block()
// can write a matching header; damage is made by passing other sizes or raw bytes.
class ArchiveLZBuilder {
public:
    explicit ArchiveLZBuilder(uint8_t escape) : escape_(escape) {}

    ArchiveLZBuilder& Literal(uint8_t byte);  // doubled when it equals the escape byte
    ArchiveLZBuilder& Literals(const std::string& bytes);
    // A match of length 4-8195. distanceBytes 1, 2 or 3 store distance - 1 in that many
    // bytes (selectors 0-2); 0 is selector 3 (the previous distance; `distance` is then
    // only used for tracking the plain size). Lengths whose code would be 255 cannot be
    // written with selector 3, and abort.
    ArchiveLZBuilder& Match(int length, int distance, int distanceBytes);
    // Bytes put into the token stream as they are.
    ArchiveLZBuilder& Raw(const std::string& bytes);

    // Header and tokens. plainSize -1: the tracked size; blockSize -1: the real one.
    std::string Block(int64_t plainSize = -1, int64_t blockSize = -1) const;
    int64_t plainSize() const { return plain_; }

private:
    uint8_t escape_;
    std::string tokens_;
    int64_t plain_ = 0;
};

// The writer's encoder: greedy matches through a hash of 4-byte prefixes, selector 3 for a
// repeated distance, the least frequent byte as escape unless one is given.
std::string CompressArchiveLZ(const std::string& data);
std::string CompressArchiveLZ(const std::string& data, uint8_t escape);

// ---- archives -------------------------------------------------------------------------------
enum class ArchiveKey { None, First, Second };

// Where the records of the last built image lie (absolute image offsets).
struct ArchiveLayout {
    uint32_t tableOffset = 0;
    uint32_t tableSize = 0;
    uint32_t dataOffset = 0;
    uint32_t fileTableOffset = 0;  // inside the table block
    uint32_t dirTableOffset = 0;   // inside the table block
    int entrySize = 0;
    std::map<std::string, uint32_t> entry;       // member or directory path -> its file entry
    std::map<std::string, uint32_t> nameRecord;  // member or directory path -> its name record
    std::map<std::string, uint32_t> dirRecord;   // directory path ("" for the root) -> its record
    std::map<std::string, uint32_t> data;        // member path -> its data (or block)
};

class ArchiveWriter {
public:
    explicit ArchiveWriter(int version = 3) : version_(version) {}

    // Paths inside the archive are CP932, '\'-separated; directories on the way are made.
    // Compression needs version 2 or later.
    void AddFile(const std::string& path, const std::string& data, bool compressed = false);
    // A compressed member whose block is given as it stands.
    void AddBlockFile(const std::string& path, uint32_t plainSize, const std::string& block);
    void AddDirectory(const std::string& path);

    std::string Image();  // unscrambled; fills layout()
    const ArchiveLayout& layout() const { return layout_; }
    std::string Build(ArchiveKey key) { return Scramble(Image(), key); }
    static std::string Scramble(const std::string& image, ArchiveKey key);

private:
    struct Node {
        std::string name;
        std::string path;
        bool directory = false;
        std::vector<int> children;
        std::string stored;  // what goes in the data area
        uint32_t plainSize = 0;
        bool compressed = false;
    };
    int FindOrMakeDirectory(const std::string& path);
    int AddNode(const std::string& path, bool directory);

    int version_;
    std::vector<Node> nodes_{Node{"", "", true, {}, {}, 0, false}};
    ArchiveLayout layout_;
};

// The search form of a name: a-z upper-cased, Shift-JIS pairs as they stand.
std::string ArchiveSearchForm(const std::string& name);

// Little-endian fields of an image, for damaging it.
void Put16(std::string* image, size_t at, uint16_t value);
void Put32(std::string* image, size_t at, uint32_t value);
uint32_t Get32(const std::string& image, size_t at);

}  // namespace qztest
