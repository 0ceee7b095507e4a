#pragma once

namespace protocol::impl {

// wcstod in the "C" locale, whatever locale the process has set (a GUI
// toolkit may set LC_NUMERIC from the environment, turning '.' into ',').
double WideToDoubleC(const wchar_t* text);

}  // namespace protocol::impl
