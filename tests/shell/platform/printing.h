// Readable failure messages for the platform's enums.
#pragma once

#include <ostream>

#include "platform.h"

namespace shell::platform {

inline void PrintTo(MarkerClaim claim, std::ostream* out) {
    switch (claim) {
        case MarkerClaim::acquired:
            *out << "acquired";
            return;
        case MarkerClaim::heldElsewhere:
            *out << "heldElsewhere";
            return;
        case MarkerClaim::unavailable:
            *out << "unavailable";
            return;
    }
    *out << "MarkerClaim(" << static_cast<int>(claim) << ")";
}

inline void PrintTo(InstanceCheck check, std::ostream* out) {
    *out << (check == InstanceCheck::onlyCopy ? "onlyCopy" : "anotherCopyRuns");
}

}  // namespace shell::platform
