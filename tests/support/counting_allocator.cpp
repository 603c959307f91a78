#include "counting_allocator.h"

#include <gtest/gtest.h>

#include <cstdlib>

AllocationLog gLog;

void* countingAllocator(uint64_t size)
{
    if (gLog.allocations == gLog.failAt) {
        gLog.failAt = -1;
        return nullptr;
    }
    void* block = std::malloc(size_t(size ? size : 1));
    if (!block)
        return nullptr;
    ++gLog.allocations;
    gLog.live.insert(block);
    return block;
}

void countingFree(void* block)
{
    EXPECT_EQ(gLog.live.erase(block), 1u) << "freed a block twice or one never allocated";
    std::free(block);
}
