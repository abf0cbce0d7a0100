// The registry where there is no Windows registry: read from a registry export file.

#include <cstdlib>
#include <string>

#include "settings/RegeditFile.h"
#include "settings/RegistryBackend.h"
#include "settings/RegistryHive.h"
#include "settings/TextEncoding.h"

namespace qelt {

namespace {

// The file named by QELT_REGISTRY. Unset, missing or unparsable: an empty registry, as on a
// machine where nothing was ever registered.
RegistryHive LoadConfiguredRegistry() {
    const char* fileName = std::getenv("QELT_REGISTRY");
    if (fileName == nullptr || *fileName == '\0') {
        return {};
    }
    const auto bytes = ReadFileBytes(fileName);
    if (!bytes) {
        return {};
    }
    return ParseRegeditFile(*bytes).value_or(RegistryHive{});
}

}  // namespace

RegistryBackend& SystemRegistry() {
    static HiveRegistry registry(LoadConfiguredRegistry);
    return registry;
}

}  // namespace qelt
