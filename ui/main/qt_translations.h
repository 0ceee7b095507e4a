#pragma once

#include <cstdint>

// Qt's own words (the file dialog, the buttons of input and message boxes)
// in the language the window speaks, from Qt's translations where the
// system has them (Debian's qt6-translations-l10n); English otherwise.
// `langId`: the loaded language (2052 Simplified Chinese, 1033 English).
void FollowQtTranslations(std::uint16_t langId);
