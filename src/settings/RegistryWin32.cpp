// The Windows registry through its ANSI functions; text converted to and from the ANSI code
// page here and nowhere else.

#include <windows.h>

#include <vector>

#include "settings/RegistryBackend.h"
#include "text/AnsiCodePage.h"

namespace qelt {

namespace {

HKEY ToHkey(RegKeyHandle handle) {
    if (handle == kHKeyLocalMachine) {
        return HKEY_LOCAL_MACHINE;
    }
    if (handle == kHKeyCurrentUser) {
        return HKEY_CURRENT_USER;
    }
    return reinterpret_cast<HKEY>(handle);
}

class Win32Registry final : public RegistryBackend {
  public:
    long OpenKey(RegKeyHandle parent, std::string_view subKey, RegKeyHandle& key) override {
        HKEY opened = nullptr;
        const LSTATUS status =
            RegOpenKeyA(ToHkey(parent), text::Utf8ToAnsi(subKey).c_str(), &opened);
        if (status == ERROR_SUCCESS) {
            key = reinterpret_cast<RegKeyHandle>(opened);
        }
        return status;
    }

    long QueryValue(RegKeyHandle key, std::string_view valueName, std::uint32_t& type,
                    std::string* data, std::uint32_t& size) override {
        const std::string name = text::Utf8ToAnsi(valueName);
        DWORD valueType = 0;
        DWORD byteCount = size;
        if (data == nullptr) {
            byteCount = 0;
            const LSTATUS status = RegQueryValueExA(ToHkey(key), name.c_str(), nullptr, &valueType,
                                                    nullptr, &byteCount);
            type = valueType;
            size = byteCount;
            return status;
        }
        // One spare byte keeps the pointer valid for an empty value, so the call still copies
        // rather than only reporting the size.
        std::vector<BYTE> buffer(static_cast<std::size_t>(byteCount) + 1);
        const LSTATUS status = RegQueryValueExA(ToHkey(key), name.c_str(), nullptr, &valueType,
                                                buffer.data(), &byteCount);
        type = valueType;
        size = byteCount;
        if (status != ERROR_SUCCESS) {
            return status;
        }
        const std::string_view bytes(reinterpret_cast<const char*>(buffer.data()), byteCount);
        const bool text =
            valueType == REG_SZ || valueType == REG_EXPAND_SZ || valueType == REG_MULTI_SZ;
        *data = text ? text::AnsiToUtf8(bytes) : std::string(bytes);
        return status;
    }

    long CloseKey(RegKeyHandle key) override { return RegCloseKey(ToHkey(key)); }

    std::size_t ExpandEnvironment(std::string_view source, std::string& destination,
                                  std::size_t capacity) override {
        std::vector<char> buffer(capacity > 0 ? capacity : 1, '\0');
        const DWORD needed = ExpandEnvironmentStringsA(text::Utf8ToAnsi(source).c_str(),
                                                       buffer.data(), static_cast<DWORD>(capacity));
        destination =
            (needed != 0 && needed <= capacity) ? text::AnsiToUtf8(buffer.data()) : std::string();
        return needed;
    }
};

}  // namespace

RegistryBackend& SystemRegistry() {
    static Win32Registry registry;
    return registry;
}

}  // namespace qelt
