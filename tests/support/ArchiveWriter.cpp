// ArchiveWriter.cpp: QZA archives and LZ blocks for tests (format in the library's
// QzArchive_Reader.h and QzArchive_LZ.h). Single-threaded use.
#include "ArchiveWriter.h"

#include <algorithm>
#include <array>
#include <bit>
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "QzArchive_Key.h"

namespace qztest {
namespace {

[[noreturn]] void Refuse(const char* what) {
    std::fprintf(stderr, "ArchiveWriter: %s\n", what);
    std::abort();
}

bool IsLeadByte(unsigned char c) { return (c >= 0x81 && c <= 0x9F) || (c >= 0xE0 && c <= 0xFC); }

void Append16(std::string* out, uint32_t value) {
    out->push_back(static_cast<char>(value & 0xFF));
    out->push_back(static_cast<char>((value >> 8) & 0xFF));
}

void Append32(std::string* out, uint32_t value) {
    Append16(out, value & 0xFFFF);
    Append16(out, value >> 16);
}

}  // namespace

// ---- LZ blocks ------------------------------------------------------------------------------

ArchiveLZBuilder& ArchiveLZBuilder::Literal(uint8_t byte) {
    tokens_.push_back(static_cast<char>(byte));
    if (byte == escape_) tokens_.push_back(static_cast<char>(byte));
    plain_ += 1;
    return *this;
}

ArchiveLZBuilder& ArchiveLZBuilder::Literals(const std::string& bytes) {
    for (char c : bytes) Literal(static_cast<uint8_t>(c));
    return *this;
}

ArchiveLZBuilder& ArchiveLZBuilder::Match(int length, int distance, int distanceBytes) {
    int field = length - 4;
    if (field < 0 || field > 8191 || distanceBytes < 0 || distanceBytes > 3) Refuse("match out of range");
    bool extra = field >= 32;
    int selector = distanceBytes == 0 ? 3 : distanceBytes - 1;
    int code = ((field & 31) << 3) | (extra ? 4 : 0) | selector;
    if (code > 254) Refuse("match code 255 cannot be written");
    tokens_.push_back(static_cast<char>(escape_));
    tokens_.push_back(static_cast<char>(code < escape_ ? code : code + 1));
    if (extra) tokens_.push_back(static_cast<char>(field >> 5));
    for (int i = 0; i < distanceBytes; i++) tokens_.push_back(static_cast<char>(((distance - 1) >> (8 * i)) & 0xFF));
    plain_ += length;
    return *this;
}

ArchiveLZBuilder& ArchiveLZBuilder::Raw(const std::string& bytes) {
    tokens_ += bytes;
    return *this;
}

std::string ArchiveLZBuilder::Block(int64_t plainSize, int64_t blockSize) const {
    std::string block;
    Append32(&block, static_cast<uint32_t>(plainSize < 0 ? plain_ : plainSize));
    Append32(&block, static_cast<uint32_t>(blockSize < 0 ? static_cast<int64_t>(tokens_.size()) + 9 : blockSize));
    block.push_back(static_cast<char>(escape_));
    return block + tokens_;
}

std::string CompressArchiveLZ(const std::string& data) {
    std::array<size_t, 256> counts{};
    for (char c : data) counts[static_cast<uint8_t>(c)]++;
    uint8_t escape = static_cast<uint8_t>(std::min_element(counts.begin(), counts.end()) - counts.begin());
    return CompressArchiveLZ(data, escape);
}

std::string CompressArchiveLZ(const std::string& data, uint8_t escape) {
    constexpr int kChainLimit = 32;
    constexpr int64_t kMaxDistance = 1 << 24;
    constexpr int64_t kMaxLength = 8195;
    const auto* bytes = reinterpret_cast<const uint8_t*>(data.data());
    const int64_t n = static_cast<int64_t>(data.size());
    // A table about the size of the input, at most 2^16 heads: small inputs (the fuzzer
    // compresses thousands a second) do not pay for a half-megabyte table.
    const int kHashBits = std::clamp(static_cast<int>(std::bit_width(data.size())), 10, 16);
    std::vector<int64_t> head(size_t(1) << kHashBits, -1);
    std::vector<int64_t> previous(data.size(), -1);
    auto hashAt = [&](int64_t i) {
        uint32_t v;
        std::memcpy(&v, bytes + i, 4);
        return (v * 2654435761u) >> (32 - kHashBits);
    };
    auto insert = [&](int64_t i) {
        if (i + 4 > n) return;
        uint32_t h = hashAt(i);
        previous[static_cast<size_t>(i)] = head[h];
        head[h] = i;
    };
    auto matchLength = [&](int64_t at, int64_t from) {
        int64_t limit = std::min(kMaxLength, n - at);
        int64_t length = 0;
        while (length < limit && bytes[from + length] == bytes[at + length]) length++;
        return length;
    };

    ArchiveLZBuilder builder(escape);
    int64_t lastDistance = 0;
    int64_t i = 0;
    while (i < n) {
        int64_t bestLength = 0;
        int64_t bestDistance = 0;
        if (lastDistance > 0 && lastDistance <= i) {
            bestLength = matchLength(i, i - lastDistance);
            bestDistance = lastDistance;
        }
        if (i + 4 <= n) {
            int64_t candidate = head[hashAt(i)];
            for (int steps = 0; candidate >= 0 && steps < kChainLimit; steps++) {
                int64_t distance = i - candidate;
                if (distance > kMaxDistance) break;
                int64_t length = matchLength(i, candidate);
                if (length > bestLength) {
                    bestLength = length;
                    bestDistance = distance;
                }
                candidate = previous[static_cast<size_t>(candidate)];
            }
        }
        if (bestLength < 4) {
            builder.Literal(bytes[i]);
            insert(i);
            i++;
            continue;
        }
        int field = static_cast<int>(bestLength - 4);
        bool repeat = bestDistance == lastDistance && (((field & 31) << 3) | (field >= 32 ? 4 : 0) | 3) <= 254;
        int distanceBytes = repeat ? 0 : bestDistance <= 0x100 ? 1 : bestDistance <= 0x10000 ? 2 : 3;
        builder.Match(static_cast<int>(bestLength), static_cast<int>(bestDistance), distanceBytes);
        lastDistance = bestDistance;
        for (int64_t k = 0; k < bestLength; k++) insert(i + k);
        i += bestLength;
    }
    return builder.Block();
}

// ---- archives -------------------------------------------------------------------------------

std::string ArchiveSearchForm(const std::string& name) {
    std::string form;
    for (size_t i = 0; i < name.size(); i++) {
        unsigned char c = static_cast<unsigned char>(name[i]);
        if (IsLeadByte(c) && i + 1 < name.size()) {
            form.push_back(name[i]);
            form.push_back(name[++i]);
            continue;
        }
        form.push_back(static_cast<char>(c >= 'a' && c <= 'z' ? c - 32 : c));
    }
    return form;
}

int ArchiveWriter::AddNode(const std::string& path, bool directory) {
    size_t cut = path.rfind('\\');
    int parent = cut == std::string::npos ? 0 : FindOrMakeDirectory(path.substr(0, cut));
    Node node;
    node.name = cut == std::string::npos ? path : path.substr(cut + 1);
    node.path = path;
    node.directory = directory;
    nodes_.push_back(node);
    int index = static_cast<int>(nodes_.size()) - 1;
    nodes_[static_cast<size_t>(parent)].children.push_back(index);
    return index;
}

int ArchiveWriter::FindOrMakeDirectory(const std::string& path) {
    for (size_t i = 0; i < nodes_.size(); i++)
        if (nodes_[i].directory && nodes_[i].path == path) return static_cast<int>(i);
    return AddNode(path, true);
}

void ArchiveWriter::AddDirectory(const std::string& path) { FindOrMakeDirectory(path); }

void ArchiveWriter::AddFile(const std::string& path, const std::string& data, bool compressed) {
    if (compressed && version_ < 2) Refuse("compression needs version 2");
    int index = AddNode(path, false);
    Node& node = nodes_[static_cast<size_t>(index)];
    node.plainSize = static_cast<uint32_t>(data.size());
    node.compressed = compressed;
    node.stored = compressed ? CompressArchiveLZ(data) : data;
}

void ArchiveWriter::AddBlockFile(const std::string& path, uint32_t plainSize, const std::string& block) {
    if (version_ < 2) Refuse("compression needs version 2");
    int index = AddNode(path, false);
    Node& node = nodes_[static_cast<size_t>(index)];
    node.plainSize = plainSize;
    node.compressed = true;
    node.stored = block;
}

std::string ArchiveWriter::Image() {
    layout_ = ArchiveLayout();
    layout_.entrySize = version_ >= 2 ? 44 : 40;

    // Directories breadth first; each one's entries sit together in the file table.
    std::vector<int> directories = {0};
    for (size_t d = 0; d < directories.size(); d++)
        for (int child : nodes_[static_cast<size_t>(directories[d])].children)
            if (nodes_[static_cast<size_t>(child)].directory) directories.push_back(child);
    std::vector<int> entries;
    std::map<int, uint32_t> firstEntry;   // directory -> its first entry's offset in the file table
    std::map<int, uint32_t> dirOffset;    // directory -> its record's offset in the directory table
    std::map<int, int> parentOf;
    for (size_t d = 0; d < directories.size(); d++) {
        int dir = directories[d];
        dirOffset[dir] = static_cast<uint32_t>(d * 16);
        firstEntry[dir] = static_cast<uint32_t>(entries.size() * static_cast<size_t>(layout_.entrySize));
        for (int child : nodes_[static_cast<size_t>(dir)].children) {
            entries.push_back(child);
            parentOf[child] = dir;
        }
    }

    std::string names, files, dirs, dataArea;
    std::map<int, uint32_t> nameOffset, dataOffset;
    for (int e : entries) {
        const Node& node = nodes_[static_cast<size_t>(e)];
        std::string form = ArchiveSearchForm(node.name);
        size_t padded = (form.size() + 4) & ~size_t(3);
        form.resize(padded, '\0');
        uint32_t sum = 0;
        for (char c : form) sum += static_cast<uint8_t>(c);
        nameOffset[e] = static_cast<uint32_t>(names.size());
        Append16(&names, static_cast<uint32_t>(padded / 4));
        Append16(&names, sum & 0xFFFF);
        names += form;
        if (!node.directory) {
            dataOffset[e] = static_cast<uint32_t>(dataArea.size());
            dataArea += node.stored;
        }
    }
    for (int e : entries) {
        const Node& node = nodes_[static_cast<size_t>(e)];
        Append32(&files, nameOffset[e]);
        Append32(&files, node.directory ? 0x10 : 0x20);
        files.append(24, '\0');
        Append32(&files, node.directory ? dirOffset[e] : dataOffset[e]);
        Append32(&files, node.plainSize);
        if (version_ >= 2)
            Append32(&files, node.compressed ? static_cast<uint32_t>(node.stored.size()) : 0xFFFFFFFFu);
    }
    for (int dir : directories) {
        Append32(&dirs, 0);
        Append32(&dirs, dir == 0 ? 0xFFFFFFFFu : dirOffset[parentOf[dir]]);
        Append32(&dirs, static_cast<uint32_t>(nodes_[static_cast<size_t>(dir)].children.size()));
        Append32(&dirs, firstEntry[dir]);
    }

    layout_.dataOffset = 24;
    layout_.tableOffset = static_cast<uint32_t>(24 + dataArea.size());
    layout_.tableSize = static_cast<uint32_t>(names.size() + files.size() + dirs.size());
    layout_.fileTableOffset = static_cast<uint32_t>(names.size());
    layout_.dirTableOffset = static_cast<uint32_t>(names.size() + files.size());
    std::string image = "QZ";
    Append16(&image, static_cast<uint32_t>(version_));
    Append32(&image, layout_.tableSize);
    Append32(&image, layout_.dataOffset);
    Append32(&image, layout_.tableOffset);
    Append32(&image, layout_.fileTableOffset);
    Append32(&image, layout_.dirTableOffset);
    image += dataArea + names + files + dirs;

    for (size_t k = 0; k < entries.size(); k++) {
        int e = entries[k];
        const Node& node = nodes_[static_cast<size_t>(e)];
        layout_.entry[node.path] =
            layout_.tableOffset + layout_.fileTableOffset + static_cast<uint32_t>(k) * static_cast<uint32_t>(layout_.entrySize);
        layout_.nameRecord[node.path] = layout_.tableOffset + nameOffset[e];
        if (!node.directory) layout_.data[node.path] = layout_.dataOffset + dataOffset[e];
    }
    for (int dir : directories)
        layout_.dirRecord[nodes_[static_cast<size_t>(dir)].path] =
            layout_.tableOffset + layout_.dirTableOffset + dirOffset[dir];
    return image;
}

std::string ArchiveWriter::Scramble(const std::string& image, ArchiveKey key) {
    if (key == ArchiveKey::None) return image;
    unsigned char bytes[kArchiveKeySize];
    if (key == ArchiveKey::First)
        MakeArchiveKey(nullptr, bytes);
    else
        MakeArchiveSecondKey(bytes);
    std::string out = image;
    ApplyArchiveKey(out.data(), static_cast<int64_t>(out.size()), 0, bytes);
    return out;
}

void Put16(std::string* image, size_t at, uint16_t value) {
    (*image)[at] = static_cast<char>(value & 0xFF);
    (*image)[at + 1] = static_cast<char>(value >> 8);
}

void Put32(std::string* image, size_t at, uint32_t value) {
    Put16(image, at, static_cast<uint16_t>(value & 0xFFFF));
    Put16(image, at + 2, static_cast<uint16_t>(value >> 16));
}

uint32_t Get32(const std::string& image, size_t at) {
    auto b = [&](size_t i) { return static_cast<uint32_t>(static_cast<uint8_t>(image[at + i])); };
    return b(0) | b(1) << 8 | b(2) << 16 | b(3) << 24;
}

}  // namespace qztest
