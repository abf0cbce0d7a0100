// Profile files through the Windows reader; text converted to and from the ANSI code page.

#include <windows.h>

#include <vector>

#include "settings/ProfileBackend.h"
#include "text/AnsiCodePage.h"

namespace qelt {

namespace {

class Win32ProfileReader final : public ProfileBackend {
  public:
    std::uint32_t ReadProfileString(std::string_view section, std::string_view key,
                                    std::string_view defaultValue, std::string& value,
                                    std::uint32_t bufferSize, std::string_view fileName) override {
        std::vector<char> buffer(bufferSize > 0 ? bufferSize : 1, '\0');
        const DWORD count = GetPrivateProfileStringA(
            text::Utf8ToAnsi(section).c_str(), text::Utf8ToAnsi(key).c_str(),
            text::Utf8ToAnsi(defaultValue).c_str(), buffer.data(), bufferSize,
            text::Utf8ToAnsi(fileName).c_str());
        value = text::AnsiToUtf8(std::string_view(buffer.data(), count));
        return count;
    }
};

}  // namespace

ProfileBackend& SystemProfileReader() {
    static Win32ProfileReader reader;
    return reader;
}

}  // namespace qelt
