// The seam in front of the platform registry.
#include "settings/RegistryBackend.h"

namespace qelt {

namespace {
RegistryBackend* overrideBackend = nullptr;
}

RegistryBackend& ActiveRegistry() {
    return overrideBackend != nullptr ? *overrideBackend : SystemRegistry();
}

ScopedRegistryBackend::ScopedRegistryBackend(RegistryBackend& backend)
    : previous_(overrideBackend) {
    overrideBackend = &backend;
}

ScopedRegistryBackend::~ScopedRegistryBackend() {
    overrideBackend = previous_;
}

}  // namespace qelt
