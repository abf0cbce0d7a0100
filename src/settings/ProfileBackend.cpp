// The seam in front of the platform's profile (INI) file reader.
#include "settings/ProfileBackend.h"

namespace qelt {

namespace {
ProfileBackend* overrideBackend = nullptr;
}

ProfileBackend& ActiveProfileReader() {
    return overrideBackend != nullptr ? *overrideBackend : SystemProfileReader();
}

ScopedProfileBackend::ScopedProfileBackend(ProfileBackend& backend) : previous_(overrideBackend) {
    overrideBackend = &backend;
}

ScopedProfileBackend::~ScopedProfileBackend() {
    overrideBackend = previous_;
}

}  // namespace qelt
