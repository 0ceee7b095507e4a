#pragma once

#include <array>
#include <cstdint>
#include <optional>
#include <string>
#include <variant>

#include <nlohmann/json.hpp>

#include "protocol/configuration_file.h"
#include "protocol/register_table.h"

namespace cli {

// Words of registers 10..23 as read, by index; empty where the read failed
// or was not made.
using RegisterWords = std::array<std::optional<std::uint16_t>, protocol::kRegisterCount>;

// One register as the command line names it: its row of the register table.
using ParameterInfo = protocol::RegisterRow;

// All fourteen, in register order.
const std::array<ParameterInfo, protocol::kRegisterCount>& Parameters();
const ParameterInfo* FindWritable(const std::string& name);
// "signal-source, zero-offset, ..." for messages and help.
std::string WritableNames();

// A NAME=VALUE from the command line, checked as far as it can be without
// the device: the name, the number, the range of every field but the two
// scaled ones, whose range depends on the device's decimal places.
struct Assignment {
    const ParameterInfo* parameter = nullptr;
    std::string text;                   // the value as typed
    std::optional<std::uint16_t> word;  // empty until Resolve for scaled fields
};
// The assignment, or the one-line reason it is refused.
std::variant<Assignment, std::string> ParseAssignment(const std::string& argument);
// Turns a scaled field into its word with the device's decimal places;
// the reason when refused (its range in the device's unit, register 11's
// code), empty when done.
std::string Resolve(Assignment& assignment, std::uint16_t decimals,
                    std::optional<std::uint16_t> unit = std::nullopt);

// How a register's value is shown, from the words read: text with unit for
// people, a JSON value for scripts (null when a register it needs failed).
std::string ShownText(int index, const RegisterWords& words);
using protocol::ShownJson;

}  // namespace cli
