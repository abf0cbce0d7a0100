// Windows file names resolved as Wine resolves them, on a machine without Windows.
#include "settings/WinePaths.h"

#include <algorithm>
#include <cstdlib>
#include <string>
#include <system_error>
#include <vector>

#include "text/Ascii.h"

namespace qelt {

namespace {

bool IsSeparator(char c) {
    return c == '\\' || c == '/';
}

bool IsDriveName(std::string_view name) {
    return name.size() >= 2 && name[1] == ':' && text::AsciiLower(name[0]) >= 'a' &&
           text::AsciiLower(name[0]) <= 'z';
}

bool IsUncName(std::string_view name) {
    return name.size() >= 2 && IsSeparator(name[0]) && IsSeparator(name[1]);
}

// The components of a Windows path, with "." dropped and ".." taking away the one before it
// (never the drive's root).
std::vector<std::string> SplitComponents(std::string_view path) {
    std::vector<std::string> components;
    std::size_t start = 0;
    while (start <= path.size()) {
        std::size_t end = start;
        while (end < path.size() && !IsSeparator(path[end])) {
            ++end;
        }
        const std::string_view component = path.substr(start, end - start);
        if (component == "..") {
            if (!components.empty()) {
                components.pop_back();
            }
        } else if (!component.empty() && component != ".") {
            components.emplace_back(component);
        }
        start = end + 1;
    }
    return components;
}

// The entry of `folder` called `component`: the exact name when it exists, else the first entry
// whose name differs only in ASCII letter case, else the component itself (a missing file).
std::filesystem::path ResolveComponent(const std::filesystem::path& folder,
                                       const std::string& component) {
    std::error_code error;
    std::filesystem::path exact = folder / component;
    if (std::filesystem::exists(std::filesystem::symlink_status(exact, error))) {
        return exact;
    }
    for (std::filesystem::directory_iterator entry(folder, error), end; !error && entry != end;
         entry.increment(error)) {
        if (text::EqualsIgnoringAsciiCase(entry->path().filename().string(), component)) {
            return entry->path();
        }
    }
    return exact;
}

std::filesystem::path ResolveBelow(std::filesystem::path base, std::string_view rest) {
    for (const std::string& component : SplitComponents(rest)) {
        base = ResolveComponent(base, component);
    }
    return base;
}

}  // namespace

std::filesystem::path WinePrefixFolder() {
    if (const char* prefix = std::getenv("WINEPREFIX"); prefix != nullptr && *prefix != '\0') {
        return prefix;
    }
    const char* home = std::getenv("HOME");
    return std::filesystem::path(home != nullptr ? home : "") / ".wine";
}

std::filesystem::path MapWindowsFileName(std::string_view name,
                                         const std::filesystem::path& winePrefix) {
    const std::filesystem::path devices = winePrefix / "dosdevices";
    if (IsDriveName(name)) {
        const std::string drive{text::AsciiLower(name[0]), ':'};
        return ResolveBelow(devices / drive, name.substr(2));
    }
    if (IsUncName(name)) {
        return ResolveBelow(devices / "unc", name.substr(2));
    }
    return std::filesystem::path(std::string(name));
}

}  // namespace qelt
