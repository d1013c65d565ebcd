#include "support/alloc_probe.h"

#include <atomic>
#include <cstdlib>
#include <new>

namespace {

std::atomic<int> probes{0};
std::atomic<std::size_t> largestRequest{0};

void note(std::size_t size) {
    if (probes.load(std::memory_order_relaxed) == 0) return;
    std::size_t seen = largestRequest.load(std::memory_order_relaxed);
    while (size > seen && !largestRequest.compare_exchange_weak(seen, size)) {
    }
}

}  // namespace

#if defined(__has_feature)
#if __has_feature(thread_sanitizer)
#define LANHE_ALLOC_HOOKS 1
#endif
#endif

#ifdef LANHE_ALLOC_HOOKS
// ThreadSanitizer brings its own operator new, linked statically, so the
// sizes are taken from its allocator's hooks instead.
#include <sanitizer/allocator_interface.h>

namespace {

void onMalloc(const volatile void*, std::size_t size) { note(size); }
void onFree(const volatile void*) {}

[[maybe_unused]] const int hooksInstalled =
    __sanitizer_install_malloc_and_free_hooks(onMalloc, onFree);

}  // namespace
#else
// The other forms (arrays, nothrow, sized deletes) reach these two.
void* operator new(std::size_t size) {
    note(size);
    if (void* p = std::malloc(size == 0 ? 1 : size)) return p;
    throw std::bad_alloc();
}

void operator delete(void* p) noexcept { std::free(p); }

void operator delete(void* p, std::size_t) noexcept { std::free(p); }
#endif

namespace tables::testing {

AllocationProbe::AllocationProbe() {
    largestRequest = 0;
    ++probes;
}

AllocationProbe::~AllocationProbe() { --probes; }

std::size_t AllocationProbe::largest() const { return largestRequest.load(); }

}  // namespace tables::testing
