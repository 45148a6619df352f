// ImageFuzz.h: what every image-reader fuzz target checks. On success every byte of the
// pixel block (pitch x height, the pitch at least a row's pixels) must be readable, so a
// block shorter than the image shows under AddressSanitizer; on failure no tracked block
// may be left behind. A broken rule aborts, which the fuzzer reports.
#pragma once

#include <cstdint>
#include <cstdlib>

#include "AsanSupport.h"
#include "QzGraphicsImage.h"
#include "QzWinFileStream.h"
#include "QzWinState.h"

namespace qzfuzz {

inline uint32_t TouchImage(const GraphImage& image) {
    if (image.pixels == nullptr || image.width < 1 || image.height < 1 ||
        image.pitch < image.width * image.colorFormat.pixelBytes || image.colorFormat.pixelBytes < 1)
        std::abort();
    const volatile uint8_t* p = static_cast<const uint8_t*>(image.pixels);
    const size_t bytes = static_cast<size_t>(image.pitch) * static_cast<size_t>(image.height);
#if QZ_FUZZ_HAS_ASAN
    // One look at the shadow memory instead of a read of every byte, which for the largest
    // pictures was most of a run; the first unreadable byte is then read, so the report is
    // the one a read would give.
    if (const void* bad = __asan_region_is_poisoned(const_cast<uint8_t*>(p), bytes))
        return *static_cast<const volatile uint8_t*>(bad);
    return bytes > 0 ? p[0] + p[bytes - 1] : 0;
#else
    uint32_t sum = 0;
    for (size_t i = 0; i < bytes; i++) sum += p[i];
    return sum;
#endif
}

// Feeds the bytes through a memory stream to one reader.
inline int RunImageLoader(GraphImageLoader loader, const uint8_t* data, size_t size) {
    const int blocks = g_windowSystem.tracker.count;
    MemoryStream* memory = OpenMemoryStream(data, static_cast<int>(size));
    if (memory == nullptr) return 0;
    ReadStream stream;
    MakeMemoryReadStream(&stream, memory);
    GraphImage image = {};
    if (loader(&stream, &image) == 0) {
        TouchImage(image);
        FreeGraphImage(&image);
    } else if (image.pixels != nullptr) {
        std::abort();
    }
    CloseMemoryStream(memory);
    if (g_windowSystem.tracker.count != blocks) std::abort();
    return 0;
}

}  // namespace qzfuzz
