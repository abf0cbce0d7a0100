// The registry where there is no Windows registry: a registry export file named by
// QELT_REGISTRY, or else the registry of the Wine prefix.

#include <cstdlib>
#include <string>

#include "settings/RegeditFile.h"
#include "settings/RegistryBackend.h"
#include "settings/RegistryHive.h"
#include "settings/TextEncoding.h"
#include "settings/WinePaths.h"
#include "settings/WineRegistryHive.h"

namespace qelt {

namespace {

// The file named by QELT_REGISTRY. Empty, missing or unparsable: an empty registry, as on a
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
    static HiveRegistry configured(LoadConfiguredRegistry);
    static WinePrefixRegistry winePrefix(WinePrefixFolder);
    return std::getenv("QELT_REGISTRY") != nullptr ? static_cast<RegistryBackend&>(configured)
                                                   : winePrefix;
}

}  // namespace qelt
