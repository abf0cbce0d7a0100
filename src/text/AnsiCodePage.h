// Conversion between UTF-8 and the Windows ANSI code page.
#pragma once

#include <string>
#include <string_view>

// Conversion between the core's UTF-8 text and the Windows ANSI code page, for the Windows
// backends only. Characters the code page lacks become its default character.
namespace qelt::text {

std::string Utf8ToAnsi(std::string_view utf8);
std::string AnsiToUtf8(std::string_view ansi);

}  // namespace qelt::text
