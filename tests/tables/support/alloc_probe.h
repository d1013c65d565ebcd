// Watches the sizes of the memory requests the program makes (through
// operator new, which this test program replaces) while a probe lives, so
// that a test can tell that a header claiming huge sizes was refused before
// anything was sized by it.
#pragma once

#include <cstddef>

namespace tables::testing {

class AllocationProbe {
  public:
    AllocationProbe();
    ~AllocationProbe();
    AllocationProbe(const AllocationProbe&) = delete;
    AllocationProbe& operator=(const AllocationProbe&) = delete;

    // The largest single request made since the probe began (any thread).
    std::size_t largest() const;
};

}  // namespace tables::testing
