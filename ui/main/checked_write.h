#pragma once

#include <cstdint>
#include <optional>
#include <string>

#include "protocol/registers.h"

// What a Modify or Set press may send. A refused value sends nothing: the
// timed box, titled with the field's name, says why and what range the field
// takes. The checks are the protocol's, so that every front end refuses the
// same texts.

// The word for a typed text, or nothing after the refusal box.
std::optional<std::uint16_t> CheckedTypedWord(protocol::OperationCode code,
                                              const std::wstring& text, std::uint16_t decimals);
// The word for a box selection (-1: none), or nothing after the refusal box.
std::optional<std::uint16_t> CheckedSelectionWord(protocol::OperationCode code, int selection);

// A lower limit at or above the upper one is sent only when the technician
// confirms it (OK in the timed box; its time running out is a no). `other` is
// the text of the other limit's edit; one that is no valid limit asks nothing.
bool ConfirmLimits(protocol::OperationCode code, std::uint16_t word, const std::wstring& other);
