#pragma once

#include <string>

namespace cli {

// The command line, the terminal and JSON speak UTF-8; protocol/ speaks
// wide text.
std::wstring FromUtf8(const std::string& text);
std::string ToUtf8(const std::wstring& text);

// ASCII letters folded to lower case, for names typed in any case.
std::string Lower(std::string text);

}  // namespace cli
