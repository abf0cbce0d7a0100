// The registry where there is no Windows registry: a registry export file named by
// QELT_REGISTRY, or else the registry of the Wine prefix.

#include <cstdlib>
#include <optional>
#include <string>

#include "settings/RegeditFile.h"
#include "settings/RegistryBackend.h"
#include "settings/RegistryHive.h"
#include "settings/TextEncoding.h"
#include "settings/WinePaths.h"
#include "settings/WineRegistryHive.h"

namespace qelt {

namespace {

// Empty, missing, not a regular file or unparsable: an empty registry, as on a machine where
// nothing was ever registered.
RegistryHive LoadRegistryFile(const char* fileName) {
    if (*fileName == '\0') {
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
    static WinePrefixRegistry winePrefix(WinePrefixFolder);
    const char* fileName = std::getenv("QELT_REGISTRY");
    if (fileName == nullptr) {
        return winePrefix;
    }
    // The file is read once; only another name in QELT_REGISTRY makes it read another.
    static std::string loadedName;
    static std::optional<HiveRegistry> configured;
    if (!configured || loadedName != fileName) {
        configured.emplace(LoadRegistryFile(fileName));
        loadedName = fileName;
    }
    return *configured;
}

}  // namespace qelt
