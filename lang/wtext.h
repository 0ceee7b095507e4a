#pragma once

#include <string>
#include <string_view>

// Wide text is UTF-32 here; file names and the settings file are UTF-8 and
// the XML library speaks UTF-16. Invalid input becomes U+FFFD, never a throw.
namespace corvexa::lang {

std::string ToUtf8(std::wstring_view text);
std::wstring FromUtf8(std::string_view text);
std::wstring FromUtf16(const char16_t* text);
std::u16string ToUtf16(std::wstring_view text);

}  // namespace corvexa::lang
