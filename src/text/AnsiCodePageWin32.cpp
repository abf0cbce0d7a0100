// Conversion between UTF-8 and the Windows ANSI code page, through Windows.
#include <windows.h>

#include "text/AnsiCodePage.h"
#include "text/Utf.h"

namespace qelt::text {

std::string Utf8ToAnsi(std::string_view utf8) {
    const std::wstring wide = Utf8ToUtf16As<wchar_t>(utf8);
    if (wide.empty()) {
        return {};
    }
    const int length = static_cast<int>(wide.size());
    const int narrowLength =
        WideCharToMultiByte(CP_ACP, 0, wide.data(), length, nullptr, 0, nullptr, nullptr);
    std::string narrow(static_cast<std::size_t>(narrowLength), '\0');
    WideCharToMultiByte(CP_ACP, 0, wide.data(), length, narrow.data(), narrowLength, nullptr,
                        nullptr);
    return narrow;
}

std::string AnsiToUtf8(std::string_view ansi) {
    if (ansi.empty()) {
        return {};
    }
    const int length = static_cast<int>(ansi.size());
    const int wideLength = MultiByteToWideChar(CP_ACP, 0, ansi.data(), length, nullptr, 0);
    std::wstring wide(static_cast<std::size_t>(wideLength), L'\0');
    MultiByteToWideChar(CP_ACP, 0, ansi.data(), length, wide.data(), wideLength);
    return Utf16ToUtf8(wide.data(), wide.size());
}

}  // namespace qelt::text
