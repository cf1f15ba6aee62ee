// UTF-8 inside the program, UTF-16 at every Windows call.
#pragma once

#include <string>
#include <string_view>

namespace tolvane::platform::win32 {

std::wstring widen(std::string_view utf8);      // invalid bytes become U+FFFD
std::string narrow(std::wstring_view utf16);   // lone surrogates become U+FFFD

}  // namespace tolvane::platform::win32
