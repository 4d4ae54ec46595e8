// Heap allocations made through the global operator new in this program so far.
#ifndef BRG40_TESTS_ALLOCATION_COUNT_H
#define BRG40_TESTS_ALLOCATION_COUNT_H

#include <cstddef>

std::size_t allocation_count();

#endif
