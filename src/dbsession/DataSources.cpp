// Reading the ODBC data sources' definitions (odbc.ini, or the registry on Windows).
#include "dbsession/DataSources.h"

#ifdef _WIN32
#include <windows.h>
#endif
#include <odbcinst.h>

#include <array>

#include "dbsession/FileDrivers.h"
#include "text/Utf.h"

namespace qelt {

namespace {

// A data source's value for the key; empty when there is none. Windows reads the registry in
// UTF-16; unixODBC reads odbc.ini as bytes, UTF-8 here.
std::string DataSourceValue(const std::string& dataSource, std::string_view key) {
#ifdef _WIN32
    const std::wstring section = text::Utf8ToUtf16As<wchar_t>(dataSource);
    const std::wstring entry = text::Utf8ToUtf16As<wchar_t>(key);
    std::array<wchar_t, 32768> value{};
    const int length =
        SQLGetPrivateProfileStringW(section.c_str(), entry.c_str(), L"", value.data(),
                                    static_cast<int>(value.size()), L"odbc.ini");
    return length > 0 ? text::Utf16ToUtf8(value.data(), static_cast<std::size_t>(length))
                      : std::string();
#else
    const std::string entry(key);
    std::array<char, 32768> value{};
    const int length =
        SQLGetPrivateProfileString(dataSource.c_str(), entry.c_str(), "", value.data(),
                                   static_cast<int>(value.size()), "odbc.ini");
    return length > 0 ? std::string(value.data(), static_cast<std::size_t>(length)) : std::string();
#endif
}

}  // namespace

std::vector<std::string> DataSourceFiles(const std::string& dataSource) {
    std::vector<std::string> files;
    for (const std::string_view key : FileKeys()) {
        if (std::string file = DataSourceValue(dataSource, key); !file.empty()) {
            files.push_back(std::move(file));
        }
    }
    return files;
}

}  // namespace qelt
