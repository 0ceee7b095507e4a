#pragma once

// Window message vocabulary shared by every dialog. The numbers are the
// documented Win32 values, so code and messages read the same as on the
// platform the program was first written for.

#include <cstdint>

using UINT = unsigned int;
using WPARAM = std::uintptr_t;
using LPARAM = std::intptr_t;
using LRESULT = std::intptr_t;

// Opaque window handle. It names a live dialog in the window registry and
// is never dereferenced, so a stale handle is harmless.
struct HWND__;
using HWND = HWND__*;

inline constexpr UINT WM_CLOSE = 0x0010;
inline constexpr UINT WM_COMMAND = 0x0111;
inline constexpr UINT WM_SYSCOMMAND = 0x0112;
inline constexpr UINT WM_TIMER = 0x0113;
inline constexpr UINT WM_USER = 0x0400;

// Standard command ids of dialog buttons and dialog results.
inline constexpr int IDOK = 1;
inline constexpr int IDCANCEL = 2;

// The control id of a WM_COMMAND lives in the low word of wParam.
inline constexpr int LOWORD(WPARAM w) {
    return static_cast<int>(w & 0xFFFF);
}
