// A job's exception caught as its failure. Apart from the pool, so that a
// program whose jobs never throw links no exception handling.
#include "convert_pool.h"

int RunJobCatching(const PoolJob& job) {
    try {
        return RunJobDirectly(job);
    } catch (...) {
        return 0;
    }
}
