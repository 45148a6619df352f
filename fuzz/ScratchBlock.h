// ScratchBlock.h: an output block made once per process and handed to every input at
// exactly the size it asks for: the bytes past that size are poisoned for
// AddressSanitizer, so a write past the end is caught as in a block of that size, without
// a new zero-filled allocation per input (for the larger sizes, a fresh mapping and its
// page faults, which were most of a run).
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>

#include "AsanSupport.h"

namespace qzfuzz {

class ScratchBlock {
public:
    // Size bytes, holding whatever an earlier input left there.
    uint8_t* Take(size_t size) {
        if (size > capacity_) {
            if (storage_) ASAN_UNPOISON_MEMORY_REGION(storage_.get(), capacity_);
            capacity_ = size > 2 * capacity_ ? size : 2 * capacity_;
            storage_.reset(new uint8_t[capacity_]);
        }
        ASAN_UNPOISON_MEMORY_REGION(storage_.get(), size);
        ASAN_POISON_MEMORY_REGION(storage_.get() + size, capacity_ - size);
        return storage_.get();
    }

    ~ScratchBlock() {
        if (storage_) ASAN_UNPOISON_MEMORY_REGION(storage_.get(), capacity_);
    }

private:
    std::unique_ptr<uint8_t[]> storage_;
    size_t capacity_ = 0;
};

}  // namespace qzfuzz
