// modQLXLib: the host product's folder, settings files and database.
#pragma once

#include <string>
#include <string_view>

// modQLXLib: where the host product is installed, its settings files, and the database it uses.
// Missing entries give "" or the built-in defaults; nothing fails visibly.
namespace qelt {

// The folder of the executable registered under App Paths (HKLM), ending in its separator; ""
// when the entry is missing or holds no folder. A leading double quote is dropped.
std::string GetInstalledAppPath(std::string_view executableName);

// A folder setting from section "General" of QeltOnePaths.ini in `folder`, with the built-in
// default folders and the $(MyDocuments) / $(WinAppDataPath) tokens.
std::string ReadPathsIniValue(std::string_view folder, std::string_view key);

// A value from any profile file; a file name containing "\qeltone.ini" (any case) is read from
// the folder that IniPath of the host's QeltOnePaths.ini names instead.
std::string ReadIniValue(std::string_view fileName, std::string_view section, std::string_view key,
                         std::string_view defaultValue);

// The product's data folder as its settings file stores it.
std::string GetDataPath(std::string_view hostFolder, std::string_view product);

// The database: a "DSN=" connection text as stored, else the data folder followed directly by
// the stored file name (default: product + ".mdb").
std::string GetDatabaseName(std::string_view hostFolder, std::string_view dataFolder,
                            std::string_view product);

struct HostSettings {
    std::string hostFolder;
    std::string dataFolder;
    std::string databaseName;
};

// The three start-up lookups for QeltOne, in their order.
HostSettings LookUpHostSettings();

}  // namespace qelt
