#pragma once

#include <QString>
#include <cstdint>

// Text `id` of group "Main" in the loaded language; the built-in English
// text when the pack lacks it.
QString MainText(int id);

// A Modbus exception in the loaded language: "illegal data value (03)".
QString ExceptionText(std::uint8_t code);

// Why an exchange failed, from its message parameter (ResultParam), for
// `name`: the device's refusal or a line that never fell quiet; empty for
// no answer, which the caller's own words cover.
QString FailureDetail(std::intptr_t result, const QString& name);
