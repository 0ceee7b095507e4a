#pragma once

// What the pack reader accepts. A pack is a small document (a few dozen
// texts in two groups, Root/Group/IDS), so anything far beyond that is
// broken or hostile and is refused before it can take the start-up's time
// or memory. Each refusal skips the pack with one line on standard output.

#include <cstddef>
#include <string>

#include "lang/mylzmapack.h"
#include "lang/platform.h"

namespace corvexa::lang {

// File size of a plain pack or a container, and unpacked size of a
// container.
inline constexpr std::size_t kMaxPackBytes = CMyLzmaPack::kMaxUnpackedSize;
// Root, group, text and a little markup inside a text, with room to spare.
inline constexpr std::size_t kMaxPackDepth = 8;
// Elements plus attributes.
inline constexpr std::size_t kMaxPackNodes = 100000;
// Characters of text, counted once as the document holds it and once as
// the texts are gathered (nested groups share text): 16 MiB in UTF-16.
inline constexpr std::size_t kMaxPackText = std::size_t{8} << 20;

// "Language pack <path> skipped: <reason>" on standard output.
void ReportSkippedPack(const std::wstring& path, const char* reason);
// The reason for a file that could not be read (sys::FileRead).
const char* FileReadReason(sys::FileRead outcome);

}  // namespace corvexa::lang
