// The pair list reader on any bytes, at both capacities: never writes past
// the entries it was given, never leaves a name unterminated.
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "pair_list.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const int capacities[] = {100, 200};
    for (int capacity : capacities) {
        // Exactly the capacity on the heap, so AddressSanitizer sees any overrun.
        PairEntry* entries = static_cast<PairEntry*>(malloc(sizeof(PairEntry) * capacity));
        memset(entries, 0x7F, sizeof(PairEntry) * capacity);
        FILE* stream = fmemopen(const_cast<uint8_t*>(data), size, "r");
        if (!stream) {
            free(entries);
            return 0;
        }
        int count = ReadPairListFile(stream, entries, capacity);
        fclose(stream);
        if (count < 0 || count > capacity) abort();
        for (int i = 0; i < count; ++i)
            if (strnlen(entries[i].jpgName, kNameSize) > kNameBytes || strnlen(entries[i].bmpName, kNameSize) > kNameBytes)
                abort();
        free(entries);
    }
    return 0;
}
