// FuncLib: the text and path functions the registry and settings-file readers share.
#pragma once

#include <string>
#include <string_view>

// FuncLib: the text and path functions that the registry and settings-file readers share.
// A "space" is U+0020 only; tabs and line breaks are ordinary characters here.
namespace qelt {

// True for the empty text, a text of spaces only, or a text of NUL characters only. Any other
// character, including every non-ASCII one, makes a text non-blank.
bool IsBlank(std::string_view text);

// "" for a blank path; otherwise the path without leading and trailing spaces, ending in "\" or
// "/" (a "\" is added when it ends in neither).
std::string AddTrailingSlash(std::string_view path);

// The text without one trailing occurrence of the suffix (exact, case-sensitive); blank texts
// and texts without that ending come back unchanged.
std::string StripSuffix(std::string_view text, std::string_view suffix);

// The text up to its first NUL character, or the whole text when it holds none.
std::string TrimAtNull(std::string_view text);

}  // namespace qelt
