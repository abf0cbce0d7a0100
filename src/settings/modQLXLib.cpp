// modQLXLib: the host product's folder, settings files and database.
#include "settings/modQLXLib.h"

#include <cstdint>

#include "settings/FuncLib.h"
#include "settings/ProfileBackend.h"
#include "settings/RegFuncs.h"
#include "text/Ascii.h"

namespace qelt {

namespace {

constexpr std::uint32_t kProfileBufferSize = 255;
constexpr std::string_view kHostExecutable = "QeltOne.exe";
constexpr std::string_view kHostProduct = "QeltOne";

bool ContainsNoCase(std::string_view text, std::string_view part) {
    return text::FindIgnoringAsciiCase(text, part) != std::string_view::npos;
}

std::string ReplaceAllNoCase(std::string_view text, std::string_view token,
                             std::string_view replacement) {
    std::string result;
    for (auto found = text::FindIgnoringAsciiCase(text, token); found != std::string_view::npos;
         found = text::FindIgnoringAsciiCase(text, token)) {
        result += text.substr(0, found);
        result += replacement;
        text.remove_prefix(found + token.size());
    }
    result += text;
    return result;
}

std::string ReadProfile(std::string_view section, std::string_view key,
                        std::string_view defaultValue, std::string_view fileName) {
    std::string value;
    const std::uint32_t count = ActiveProfileReader().ReadProfileString(
        section, key, defaultValue, value, kProfileBufferSize, fileName);
    return count == 0 ? std::string() : value;
}

std::string DefaultPathsValue(const std::string& folder, std::string_view key) {
    const std::string lowerKey = text::AsciiLower(key);
    if (lowerKey == "inipath") {
        return folder;
    }
    if (lowerKey == "outboxpath") {
        return folder + "Outbox\\";
    }
    if (lowerKey == "datapath") {
        return folder + "Data\\";
    }
    if (lowerKey == "temppath") {
        return folder + "Temp\\";
    }
    return {};
}

}  // namespace

std::string GetInstalledAppPath(std::string_view executableName) {
    const std::string keyPath =
        CurrentVersionKeyPath() + "\\App Paths\\" + std::string(executableName);
    RegKeyHandle key = 0;
    if (!RegOpenKey(kHKeyLocalMachine, keyPath, key)) {
        return {};
    }
    std::string value;
    const bool read = RegReadString(key, "", value);
    RegClose(key);
    if (!read) {
        return {};
    }
    auto separator = value.rfind('\\');
    if (separator == std::string::npos) {
        separator = value.rfind('/');
    }
    if (separator == std::string::npos) {
        return {};
    }
    std::string folder = value.substr(0, separator + 1);
    if (folder.starts_with('"')) {
        folder.erase(0, 1);
    }
    return folder;
}

std::string ReadPathsIniValue(std::string_view folder, std::string_view key) {
    const std::string normalizedFolder = AddTrailingSlash(folder);
    std::string value = ReadProfile("General", key, DefaultPathsValue(normalizedFolder, key),
                                    normalizedFolder + "QeltOnePaths.ini");
    // A value holding both tokens has only $(MyDocuments) replaced.
    for (const auto& [token, lookUpFolder] : {std::pair{"$(MyDocuments)", &GetMyDocumentsFolder},
                                              std::pair{"$(WinAppDataPath)", &GetAppDataFolder}}) {
        if (ContainsNoCase(value, token)) {
            const std::string replacement = StripSuffix(lookUpFolder(), "\\");
            return AddTrailingSlash(ReplaceAllNoCase(value, token, replacement));
        }
    }
    return value;
}

std::string ReadIniValue(std::string_view fileName, std::string_view section, std::string_view key,
                         std::string_view defaultValue) {
    std::string file(fileName);
    if (ContainsNoCase(fileName, "\\qeltone.ini")) {
        file = ReadPathsIniValue(GetInstalledAppPath(kHostExecutable), "IniPath") + "QeltOne.ini";
    }
    return ReadProfile(section, key, defaultValue, file);
}

std::string GetDataPath(std::string_view hostFolder, std::string_view product) {
    const std::string productName(product);
    return ReadIniValue(std::string(hostFolder) + productName + ".ini", "General",
                        productName + "DataPath", "");
}

std::string GetDatabaseName(std::string_view hostFolder, std::string_view dataFolder,
                            std::string_view product) {
    const std::string productName(product);
    const std::string value =
        ReadIniValue(std::string(hostFolder) + productName + ".ini", "General",
                     productName + "DataBase", productName + ".mdb");
    if (value.starts_with("DSN=")) {
        return value;
    }
    return std::string(dataFolder) + value;
}

HostSettings LookUpHostSettings() {
    HostSettings settings;
    settings.hostFolder = GetInstalledAppPath(kHostExecutable);
    settings.dataFolder = GetDataPath(settings.hostFolder, kHostProduct);
    settings.databaseName = GetDatabaseName(settings.hostFolder, settings.dataFolder, kHostProduct);
    return settings;
}

}  // namespace qelt
