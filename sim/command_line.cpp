#include "sim/command_line.h"

#include <charconv>
#include <limits>

namespace corvexa::sim {
namespace {

// Whole string, decimal or 0x-prefixed hex, within [lo, hi].
bool ParseInt(const std::string& text, long long lo, long long hi, long long& out) {
    const char* first = text.data();
    const char* last = first + text.size();
    bool negative = false;
    if (first != last && *first == '-') {
        negative = true;
        ++first;
    }
    int base = 10;
    if (last - first > 2 && first[0] == '0' && (first[1] == 'x' || first[1] == 'X')) {
        base = 16;
        first += 2;
    }
    if (first == last || *first == '-' || *first == '+') {
        return false;
    }
    unsigned long long magnitude = 0;
    auto [end, ec] = std::from_chars(first, last, magnitude, base);
    if (ec != std::errc() || end != last ||
        magnitude > static_cast<unsigned long long>(std::numeric_limits<long long>::max())) {
        return false;
    }
    const long long value =
        negative ? -static_cast<long long>(magnitude) : static_cast<long long>(magnitude);
    if (value < lo || value > hi) {
        return false;
    }
    out = value;
    return true;
}

bool ParseOffsets(const std::string& text, std::vector<std::size_t>& out) {
    std::size_t from = 0;
    for (;;) {
        const std::size_t comma = text.find(',', from);
        long long value = 0;
        if (!ParseInt(text.substr(from, comma - from), 1, 255, value)) {
            return false;
        }
        out.push_back(static_cast<std::size_t>(value));
        if (comma == std::string::npos) {
            return true;
        }
        from = comma + 1;
    }
}

}  // namespace

std::variant<ToolOptions, std::string> ParseCommandLine(const std::vector<std::string>& args) {
    ToolOptions options;
    FaultModes& faults = options.simulator.faults;
    for (std::size_t i = 0; i < args.size(); ++i) {
        const std::string& name = args[i];
        auto value = [&](std::string& out) {
            if (i + 1 >= args.size()) {
                return false;
            }
            out = args[++i];
            return true;
        };
        auto number = [&](long long lo, long long hi, long long& out) -> std::string {
            std::string text;
            if (!value(text)) {
                return "missing value for " + name;
            }
            if (!ParseInt(text, lo, hi, out)) {
                return "bad value for " + name + ": " + text;
            }
            return {};
        };
        long long n = 0;
        std::string error;
        if (name == "--help" || name == "-h") {
            options.help = true;
        } else if (name == "--version") {
            options.version = true;
        } else if (name == "--trace") {
            options.trace = true;
        } else if (name == "--silent") {
            faults.silent = true;
        } else if (name == "--glue") {
            faults.glue = true;
        } else if (name == "--corrupt-crc") {
            faults.corruptCrc = true;
        } else if (name == "--adapter-echo") {
            faults.adapterEcho = true;
        } else if (name == "--short-answers") {
            faults.shortVendorAnswers = true;
        } else if (name == "--ignore-register") {
            if ((error = number(RegisterBank::kFirst, RegisterBank::kLast, n)).empty())
                faults.ignoreRegister = static_cast<std::uint16_t>(n);
        } else if (name == "--baud") {
            if ((error = number(300, 4'000'000, n)).empty())
                options.simulator.baud = static_cast<int>(n);
        } else if (name == "--no-pacing") {
            options.simulator.pacing = false;
        } else if (name == "--no-wander") {
            options.simulator.wander = false;
        } else if (name == "--delay") {
            if ((error = number(0, 600'000, n)).empty())
                faults.replyDelay = std::chrono::milliseconds(n);
        } else if (name == "--pause") {
            if ((error = number(0, 600'000, n)).empty())
                faults.splitPause = std::chrono::milliseconds(n);
        } else if (name == "--split") {
            if ((error = number(1, 255, n)).empty())
                faults.splitPieces = static_cast<std::size_t>(n);
        } else if (name == "--split-at") {
            std::string text;
            if (!value(text)) {
                error = "missing value for " + name;
            } else if (!ParseOffsets(text, faults.splitOffsets)) {
                error = "bad value for " + name + ": " + text;
            }
        } else if (name == "--exception") {
            if ((error = number(1, 255, n)).empty())
                faults.exceptionCode = static_cast<std::uint8_t>(n);
        } else if (name == "--drop-every") {
            if ((error = number(0, std::numeric_limits<unsigned>::max(), n)).empty()) {
                faults.dropEvery = static_cast<unsigned>(n);
            }
        } else if (name == "--reg") {
            std::string text;
            if (!value(text)) {
                error = "missing value for " + name;
            } else {
                const std::size_t eq = text.find('=');
                long long reg = 0;
                long long word = 0;
                // Signed registers (the range limits) may be given as negatives.
                if (eq == std::string::npos ||
                    !ParseInt(text.substr(0, eq), RegisterBank::kFirst, RegisterBank::kLast, reg) ||
                    !ParseInt(text.substr(eq + 1), -32768, 65535, word)) {
                    error = "bad value for --reg: " + text;
                } else {
                    options.registers.emplace_back(static_cast<std::uint16_t>(reg),
                                                   static_cast<std::uint16_t>(word));
                }
            }
        } else {
            error = "unknown option: " + name;
        }
        if (!error.empty()) {
            return error;
        }
    }
    return options;
}

std::string Usage() {
    return "usage: corvexa-sim [options]\n"
           "Plays a transmitter on a pseudo-terminal and prints its path.\n"
           "Runs until interrupted (SIGINT, SIGTERM).\n"
           "\n"
           "  --silent           record requests, never answer\n"
           "  --delay MS         wait MS milliseconds before each reply\n"
           "  --split N          send each reply in N pieces\n"
           "  --split-at A,B,... cut each reply before these byte offsets\n"
           "  --pause MS         silence between two pieces (default 0)\n"
           "  --glue             hold a reply back and send it with the next\n"
           "  --corrupt-crc      spoil the CRC of every reply\n"
           "  --exception CODE   refuse every Modbus request with CODE\n"
           "  --drop-every N     ignore every N-th request\n"
           "  --baud N           talk at N baud only (default 9600); at any other rate\n"
           "                     the program gets bytes that form no reply\n"
           "  --adapter-echo     give every request back first, as an RS-485 adapter\n"
           "                     without echo suppression does\n"
           "  --short-answers    answer vendor requests with their two bytes alone\n"
           "  --ignore-register N  never answer requests for register N\n"
           "  --no-pacing        do not pace replies at the line's rate\n"
           "  --no-wander        keep the sample registers 20 and 21 still\n"
           "  --reg N=VALUE      set register N (10..23) at start\n"
           "  --trace            show every request and reply on stderr\n"
           "  --help             show this text\n"
           "  --version          show the version\n";
}

}  // namespace corvexa::sim
