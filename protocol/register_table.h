#pragma once

#include <array>
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "protocol/device_parameters.h"
#include "protocol/registers.h"

namespace protocol {

// How a register's word is read.
enum class RegisterKind {
    Code,      // a position in a code table (signal source, unit, baud, gain)
    Signed,    // a signed 16-bit number
    Unsigned,  // an unsigned 16-bit number
    Scaled,    // unsigned, divided by 10^decimals (register 14)
    Ignored,   // read and not interpreted
};

enum class CodeTable { None, SignalSource, Unit, Baud, Gain };

// Everything one register is, in one place. Adding a register is a row
// here, a field row in the window (ui/main/field_table.cpp), a control in
// its template, its texts and the simulator's default.
struct RegisterRow {
    std::uint16_t reg;
    int index;          // reg - 10: the record's field, the RegisterWords slot
    const char* name;   // "zero-offset": its name on the command line
    const char* label;  // "Null Offset": the window's English label, for traces
    int nameTextId;     // its label in the language packs ("Main")
    RegisterKind kind;
    CodeTable codes;
    std::optional<OperationCode> write;  // empty: the tool only reads it
    bool userVersion;                    // the user version reads it too
    // The window's edit shows one decimal place ("%.1f") whatever the
    // device's decimals; the command line, trace and report show the exact
    // value with the raw word beside it.
    bool windowOneDecimal;
};

extern const std::array<RegisterRow, kRegisterCount> kRegisterTable;

// Null outside 10..23 / 0..13.
const RegisterRow* RowOfRegister(std::uint16_t reg);
const RegisterRow* RowOfIndex(int index);
// The row a write operation sets; null for the vendor commands.
const RegisterRow* RowOfWrite(OperationCode code);
// By command-line name; null when unknown.
const RegisterRow* RowOfName(const std::string& name);

// The register indexes a read-all of the version reads, in register order.
std::vector<int> IndexesReadBy(bool factory);

// English name of a code (the window's English words); empty when the
// table has no such code.
std::string CodeName(CodeTable table, std::uint16_t code);

// The exact value of a word, in English, the same for the command line, the
// trace and the report: codes by name ("PT100", "°C", "9600", "12.5"), numbers
// with the unit where the register has one (scaled and signed words; the
// others ignore it). Scaled words need the decimals
// and show all of them ("12.34"); without decimals they are empty. A code
// the table does not know is "code:N".
struct WordContext {
    std::optional<std::uint16_t> decimals;
    std::optional<std::uint16_t> unit;  // register 11's code; empty: no unit shown
};
std::string ExactText(int index, std::uint16_t word, const WordContext& context);
// Only the number (no unit), for JSON: scaled as a double, signed as such.
double ExactNumber(int index, std::uint16_t word, std::uint16_t decimals);

// The window's edit text of a word: the Part's "%.1f" for scaled words,
// "%d" for numbers; codes have no text (their boxes show a selection).
std::wstring WindowText(int index, std::uint16_t word, std::uint16_t decimals);

}  // namespace protocol
