// A surface allocator pair for tests: it counts the blocks still held, so
// that a leak or a double free shows, and fails the allocation asked for.
#pragma once

#include <cstdint>
#include <set>

// Allocator pair that counts outstanding blocks and fails on request.
struct AllocationLog {
    int allocations = 0;  // successful allocations so far
    int failAt = -1;      // index of the allocation that returns null, or -1
    std::set<void*> live; // blocks not freed yet
};
extern AllocationLog gLog;

void* countingAllocator(uint64_t size);
void countingFree(void* block);
