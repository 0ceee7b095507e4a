#include "protocol/traffic_meaning.h"

#include <array>

#include "base/wide_text.h"
#include "protocol/register_table.h"
#include "protocol/trace_file.h"

namespace protocol {

using corvexa::base::ToUtf8;

namespace {

std::uint16_t Word(const std::uint8_t* at) {
    return static_cast<std::uint16_t>(at[0] << 8 | at[1]);
}

std::string VendorMeaning(ReplyKind kind) {
    switch (kind) {
        case ReplyKind::ConnectAccepted:
            return "connect accepted";
        case ReplyKind::LinkStarted:
            return "link started";
        case ReplyKind::LinkEnded:
            return "link ended";
        default:
            return "";
    }
}

}  // namespace

std::string RegisterName(std::uint16_t reg) {
    const RegisterRow* row = RowOfRegister(reg);
    return row == nullptr ? std::string() : row->label;
}

std::string CTrafficMeaning::Value(std::uint16_t reg, std::uint16_t word) const {
    const int index = static_cast<int>(reg) - kFirstRegister;
    WordContext context{m_decimals, std::nullopt};
    if (m_unit != 0xFFFF) context.unit = m_unit;
    return ExactText(index, word, context);
}

std::string CTrafficMeaning::Request(const Frame& request) const {
    if (request == VendorFrame(VendorCommand::ConnectRequest)) return "connect request";
    if (request == VendorFrame(VendorCommand::LinkStart)) return "link start";
    if (request == VendorFrame(VendorCommand::LinkEnd)) return "link end";
    const std::uint16_t reg = Word(&request[2]);
    const std::string name = RegisterName(reg);
    const std::string named = name.empty() ? "" : " (" + name + ")";
    if (request[0] == kStation && request[1] == kReadHolding) {
        return "read register " + std::to_string(reg) + named;
    }
    if (request[0] == kStation && request[1] == kWriteSingle) {
        const std::uint16_t word = Word(&request[4]);
        return "write register " + std::to_string(reg) + " = " + std::to_string(word) +
               (name.empty() ? "" : " (" + name + " " + Value(reg, word) + ")");
    }
    return "request";
}

std::string CTrafficMeaning::Run(const ReceivedRun& run) {
    if (run.kind == ReceivedRun::Kind::Rest) return "rest of the reply";
    if (run.kind == ReceivedRun::Kind::Unexpected) return "unexpected bytes, no reply";
    if (run.kind == ReceivedRun::Kind::CrcError) return "CRC error, discarded";
    if (run.kind == ReceivedRun::Kind::AdapterEcho) return "adapter echo";

    std::string text;
    const Reply& reply = run.reply;
    const std::uint16_t reg = run.request ? Word(&(*run.request)[2]) : 0;
    switch (reply.kind) {
        case ReplyKind::RegisterValue: {
            const std::uint16_t word = reply.value.value_or(0);
            if (run.awaited && run.request) {
                text = "read register " + std::to_string(reg) + " \u2192 " + std::to_string(word);
                const std::string name = RegisterName(reg);
                if (!name.empty()) text += " = " + name + " " + Value(reg, word);
                if (reg == kFirstRegister + kDecimalsIndex) m_decimals = word;
                if (reg == kFirstRegister + kUnitIndex) m_unit = word;
            } else {
                text = "register value " + std::to_string(word);
            }
            break;
        }
        case ReplyKind::Exception:
            text = "exception " + RefusalWords(reply.exception);
            if (run.awaited && run.request) text += " to " + Request(*run.request);
            break;
        case ReplyKind::WriteEcho: {
            const Frame& echo = *reply.echo;
            text = "write register " + std::to_string(Word(&echo[2])) + " = " +
                   std::to_string(Word(&echo[4]));
            if (run.awaited) text += ", echo ok";
            break;
        }
        default:
            text = VendorMeaning(reply.kind);
            break;
    }
    if (run.awaited) return text;
    if (run.inGuard) return text + "; late reply, discarded";
    if (reply.kind == ReplyKind::WriteEcho && run.request) {
        return text + "; echo differs from the request, discarded";
    }
    return text + "; not awaited, discarded";
}

std::string CTrafficMeaning::TimedOut(int attempt, int attempts) {
    return "no reply, attempt " + std::to_string(attempt) + " of " + std::to_string(attempts);
}

std::string CTrafficMeaning::Retry(int attempt, int attempts) {
    return "retry, attempt " + std::to_string(attempt) + " of " + std::to_string(attempts);
}

std::string CTrafficMeaning::Refused(OperationCode code, const std::wstring& text,
                                     const std::wstring& reason) const {
    const auto reg = WriteRegisterOf(code);
    const std::string name = reg ? RegisterName(*reg) : std::string("value");
    return "refused " + name + " \"" + ToUtf8(text) + "\": " + ToUtf8(reason) + "; nothing sent";
}

}  // namespace protocol
