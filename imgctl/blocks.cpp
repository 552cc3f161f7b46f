#include "blocks.h"

#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <pthread.h>

// Under AddressSanitizer a kept block is unreadable, and so is the part of a
// reused block beyond what was asked for: over-reads and use after hand-back
// are still caught.
#if defined(__has_include)
#if __has_include(<sanitizer/asan_interface.h>)
#include <sanitizer/asan_interface.h>
#endif
#endif
#ifndef ASAN_POISON_MEMORY_REGION
#define ASAN_POISON_MEMORY_REGION(at, size) ((void)(at), (void)(size))
#define ASAN_UNPOISON_MEMORY_REGION(at, size) ((void)(at), (void)(size))
#endif

namespace {

const size_t kHeader = 64;                   // holds the capacity; keeps the block's start aligned
const size_t kSmallest = size_t(256) << 10;  // malloc reuses smaller blocks well enough
// What is kept at most: enough for the images and buffers of a few conversions
// running side by side, little enough to hold while the program sits idle.
const int kKeptBlocks = 16;
const size_t kKeptBytes = size_t(128) << 20;

struct Kept {
    uint8_t* start;
    size_t capacity;
};

pthread_mutex_t keptLock = PTHREAD_MUTEX_INITIALIZER;  // a plain lock: nothing here throws
Kept kept[kKeptBlocks];
int keptCount = 0;
size_t keptBytes = 0;

void Forget(int i) {
    keptBytes -= kept[i].capacity;
    kept[i] = kept[--keptCount];
}

}  // namespace

void* TakeBlock(size_t size) {
    if (size > SIZE_MAX - kHeader) return nullptr;
    if (size >= kSmallest) {
        pthread_mutex_lock(&keptLock);
        int best = -1;  // the smallest kept block that is large enough
        for (int i = 0; i < keptCount; ++i)
            if (kept[i].capacity >= size && (best < 0 || kept[i].capacity < kept[best].capacity)) best = i;
        if (best >= 0) {
            uint8_t* start = kept[best].start;
            Forget(best);
            pthread_mutex_unlock(&keptLock);
            ASAN_UNPOISON_MEMORY_REGION(start + kHeader, size);
            return start + kHeader;
        }
        pthread_mutex_unlock(&keptLock);
    }
    uint8_t* start = static_cast<uint8_t*>(malloc(size + kHeader));
    if (!start) return nullptr;
    memcpy(start, &size, sizeof size);
    return start + kHeader;
}

void GiveBlock(void* block) {
    if (!block) return;
    uint8_t* start = static_cast<uint8_t*>(block) - kHeader;
    size_t capacity;
    memcpy(&capacity, start, sizeof capacity);
    if (capacity >= kSmallest && capacity <= kKeptBytes) {
        pthread_mutex_lock(&keptLock);
        // Over the limits the smallest blocks go first, this one included:
        // a larger block serves any smaller need.
        while (keptCount == kKeptBlocks || keptBytes + capacity > kKeptBytes) {
            int smallest = 0;
            for (int i = 1; i < keptCount; ++i)
                if (kept[i].capacity < kept[smallest].capacity) smallest = i;
            if (capacity <= kept[smallest].capacity) {
                pthread_mutex_unlock(&keptLock);
                free(start);
                return;
            }
            ASAN_UNPOISON_MEMORY_REGION(kept[smallest].start + kHeader, kept[smallest].capacity);
            free(kept[smallest].start);
            Forget(smallest);
        }
        ASAN_POISON_MEMORY_REGION(start + kHeader, capacity);
        kept[keptCount++] = {start, capacity};
        keptBytes += capacity;
        pthread_mutex_unlock(&keptLock);
        return;
    }
    free(start);
}
