#pragma once

#include <QString>

// Text `id` of group "Main" in the loaded language; the built-in English
// text when the pack lacks it.
QString MainText(int id);
