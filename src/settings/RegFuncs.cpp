// RegFuncs: read-only registry access.
#include "settings/RegFuncs.h"

#include <cstdint>

#include "settings/FuncLib.h"

namespace qelt {

namespace {

// Expanded values normally fit this buffer; a longer one is expanded again into a buffer of
// the size the platform asks for, so it is never cut or lost.
constexpr std::size_t kExpansionBufferSize = 1024;

std::string ExpandWhole(RegistryBackend& registry, const std::string& text) {
    std::string expanded;
    std::size_t capacity = kExpansionBufferSize;
    // The environment may grow between two calls; a few rounds settle it.
    for (int attempt = 0; attempt < 3; ++attempt) {
        const std::size_t needed = registry.ExpandEnvironment(text, expanded, capacity);
        if (needed <= capacity) {
            break;
        }
        capacity = needed;
    }
    return TrimAtNull(expanded);
}

std::string ReadShellFolder(std::string_view valueName) {
    std::string folder;
    RegKeyHandle key = 0;
    if (RegOpenKey(kHKeyCurrentUser, ShellFoldersKeyPath(), key)) {
        RegReadString(key, valueName, folder);
        RegClose(key);
    }
    return AddTrailingSlash(folder);
}

}  // namespace

bool RegOpenKey(RegKeyHandle root, std::string_view subKey, RegKeyHandle& key) {
    return ActiveRegistry().OpenKey(root, subKey, key) == kRegSuccess;
}

bool RegReadString(RegKeyHandle key, std::string_view valueName, std::string& value) {
    RegistryBackend& registry = ActiveRegistry();
    std::uint32_t type = 0;
    std::uint32_t size = 0;
    if (registry.QueryValue(key, valueName, type, nullptr, size) != kRegSuccess) {
        return false;
    }
    if (type != kRegSz && type != kRegExpandSz) {
        return false;
    }
    std::string buffer(size, ' ');
    std::uint32_t typeOfSecondRead = 0;
    if (registry.QueryValue(key, valueName, typeOfSecondRead, &buffer, size) != kRegSuccess) {
        return false;
    }
    std::string text = TrimAtNull(buffer);
    if (type == kRegExpandSz) {
        text = ExpandWhole(registry, text);
    }
    value = std::move(text);
    return true;
}

bool RegClose(RegKeyHandle key) {
    return ActiveRegistry().CloseKey(key) == kRegSuccess;
}

std::string CurrentVersionKeyPath() {
    return "SOFTWARE\\Microsoft\\Windows\\CurrentVersion";
}

std::string ShellFoldersKeyPath() {
    return CurrentVersionKeyPath() + "\\Explorer\\Shell Folders";
}

std::string GetMyDocumentsFolder() {
    return ReadShellFolder("Personal");
}

std::string GetAppDataFolder() {
    return ReadShellFolder("AppData");
}

}  // namespace qelt
