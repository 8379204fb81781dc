// Counts the heap allocations made on the calling thread, for the benchmarks'
// "allocs" counters. Included by exactly one file of each benchmark program, since it
// replaces the global operator new (the replacement pair is malloc/free).
#pragma once

#include <cstdlib>
#include <new>

namespace zentra::bench {
inline thread_local long t_allocations = 0;
} // namespace zentra::bench

#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Wmismatched-new-delete"
void* operator new(std::size_t size) {
    ++zentra::bench::t_allocations;
    if (void* p = std::malloc(size ? size : 1))
        return p;
    throw std::bad_alloc();
}
void operator delete(void* p) noexcept {
    std::free(p);
}
void operator delete(void* p, std::size_t) noexcept {
    std::free(p);
}
#pragma GCC diagnostic pop
