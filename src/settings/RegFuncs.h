// RegFuncs: read-only registry access.
#pragma once

#include <string>
#include <string_view>

#include "settings/RegistryBackend.h"

// RegFuncs: read-only registry access. Failures show as false or "" only; nothing is raised and
// nothing is shown.
namespace qelt {

// Opens an existing key below a root (kHKeyLocalMachine, kHKeyCurrentUser) or an open key.
bool RegOpenKey(RegKeyHandle root, std::string_view subKey, RegKeyHandle& key);

// Reads a REG_SZ or REG_EXPAND_SZ value ("" names the default value), cut at its first NUL;
// REG_EXPAND_SZ values come back with their %NAME% references expanded. `value` is written
// only when the result is true.
bool RegReadString(RegKeyHandle key, std::string_view valueName, std::string& value);

bool RegClose(RegKeyHandle key);

// "SOFTWARE\Microsoft\Windows\CurrentVersion"
std::string CurrentVersionKeyPath();
// "SOFTWARE\Microsoft\Windows\CurrentVersion\Explorer\Shell Folders"
std::string ShellFoldersKeyPath();

// The current user's documents and application-data folders ending in a separator, or "".
std::string GetMyDocumentsFolder();
std::string GetAppDataFolder();

}  // namespace qelt
