#include "protocol/reply_assembler.h"

#include <algorithm>

namespace protocol {

namespace {

// Bytes the classification needs before a reply counts. An echo counts only
// whole: it must be compared with the request it answers.
std::size_t BytesToRecognise(ReplyKind kind) {
    switch (kind) {
        case ReplyKind::RegisterValue:
            return 5;
        case ReplyKind::WriteEcho:
            return kFrameLength;
        default:
            return 2;
    }
}

// A read of one register is answered with byte count 2.
constexpr std::size_t kByteCountAt = 2;
constexpr std::uint8_t kOneRegisterBytes = 2;

bool CrcClosesFrame(const std::vector<std::uint8_t>& bytes) {
    const std::uint16_t crc = Crc16(bytes.data(), kFrameLength - 2);
    return bytes[kFrameLength - 2] == (crc & 0xFF) && bytes[kFrameLength - 1] == (crc >> 8);
}

// Standard lengths: 01 03 02 hi lo crc crc; everything else 8 bytes.
std::size_t StandardLength(ReplyKind kind) {
    return kind == ReplyKind::RegisterValue ? 7 : 8;
}

bool IsVendorAnswer(ReplyKind kind) {
    return kind == ReplyKind::ConnectAccepted || kind == ReplyKind::LinkStarted ||
           kind == ReplyKind::LinkEnded;
}

}  // namespace

void CReplyAssembler::Feed(const std::uint8_t* data, std::size_t length, std::vector<Reply>& out) {
    Feed(data, length, out, nullptr);
}

void CReplyAssembler::Feed(const std::uint8_t* data, std::size_t length, std::vector<Reply>& out,
                           std::vector<ReceivedRun>* runs) {
    m_runs = runs;
    for (std::size_t i = 0; i < length; ++i) FeedByte(data[i], out);
    m_runs = nullptr;
}

void CReplyAssembler::Skip(std::uint8_t byte) {
    if (m_runs == nullptr) return;
    if (m_runs->empty() || m_runs->back().kind != ReceivedRun::Kind::Unexpected) {
        m_runs->push_back(ReceivedRun{});
    }
    m_runs->back().bytes.push_back(byte);
}

void CReplyAssembler::TakeRest(std::uint8_t byte) {
    if (m_runs == nullptr) return;
    if (m_runs->empty() || m_runs->back().kind == ReceivedRun::Kind::Unexpected) {
        ReceivedRun rest;
        rest.kind = ReceivedRun::Kind::Rest;
        m_runs->push_back(rest);
    }
    m_runs->back().bytes.push_back(byte);
}

void CReplyAssembler::AddReply(const Reply& reply) {
    if (m_runs == nullptr) return;
    ReceivedRun run;
    run.kind = ReceivedRun::Kind::Reply;
    run.bytes = m_pending;
    run.reply = reply;
    m_runs->push_back(std::move(run));
}

void CReplyAssembler::UntakeRest(std::size_t count) {
    if (m_runs == nullptr || m_runs->empty()) return;
    auto& bytes = m_runs->back().bytes;
    if (m_runs->back().kind == ReceivedRun::Kind::Unexpected || bytes.size() < count) return;
    bytes.resize(bytes.size() - count);
    if (bytes.empty()) m_runs->pop_back();
}

void CReplyAssembler::DropPartial() {
    m_pending.clear();
}

bool CReplyAssembler::ContinuesReply(std::uint8_t byte) const {
    const std::size_t pos = m_reply.size();
    const std::size_t crcAt = m_replyLength - 2;
    if (pos >= crcAt) {
        const std::uint16_t crc = Crc16(m_reply.data(), crcAt);
        const std::uint8_t expected =
            static_cast<std::uint8_t>(pos == crcAt ? (crc & 0xFF) : (crc >> 8));
        return byte == expected;
    }
    // Vendor answers are padded with FF; the echo carries register and value.
    return !IsVendorAnswer(m_replyKind) || byte == 0xFF;
}

void CReplyAssembler::FeedByte(std::uint8_t byte, std::vector<Reply>& out) {
    if (m_replyLength != 0) {
        if (ContinuesReply(byte)) {
            TakeRest(byte);
            m_reply.push_back(byte);
            if (m_reply.size() == m_replyLength) m_replyLength = 0;
            return;
        }
        // The device sent a short form; this byte is new. FF padding taken so
        // far may have been the head of the next vendor answer (FF F8 FF AA).
        m_replyLength = 0;
        if (IsVendorAnswer(m_replyKind) && m_reply.size() > 2) {
            const std::vector<std::uint8_t> swallowed(m_reply.begin() + 2, m_reply.end());
            UntakeRest(swallowed.size());
            for (std::uint8_t b : swallowed) FeedByte(b, out);
            FeedByte(byte, out);
            return;
        }
    }

    m_pending.push_back(byte);
    while (!m_pending.empty()) {
        if (m_pending.size() == 1) {
            // Every known reply starts with 01 or FF.
            if (m_pending[0] != kStation && m_pending[0] != kVendorStation) {
                Skip(m_pending[0]);
                m_pending.clear();
            }
            return;
        }
        const ReplyKind kind = ClassifyHeader(m_pending[0], m_pending[1]);
        if (kind == ReplyKind::Other) {
            Skip(m_pending[0]);
            m_pending.erase(m_pending.begin());
            continue;
        }
        // A header whose next bytes do not fit its kind (a read reply with
        // another byte count, an echo with a wrong CRC) was no header: the
        // bytes after its first may hold the real reply.
        const bool wrongCount = kind == ReplyKind::RegisterValue &&
                                m_pending.size() > kByteCountAt &&
                                m_pending[kByteCountAt] != kOneRegisterBytes;
        if (wrongCount) {
            Skip(m_pending[0]);
            m_pending.erase(m_pending.begin());
            continue;
        }
        if (m_pending.size() < BytesToRecognise(kind)) return;
        if (kind == ReplyKind::WriteEcho) {
            if (!CrcClosesFrame(m_pending)) {
                Skip(m_pending[0]);
                m_pending.erase(m_pending.begin());
                continue;
            }
            Reply echo{ReplyKind::WriteEcho, {}, Frame{}};
            std::copy(m_pending.begin(), m_pending.end(), echo.echo->begin());
            out.push_back(echo);
            AddReply(echo);
            m_pending.clear();
            continue;
        }

        const Reply reply = ClassifyReply(m_pending.data(), m_pending.size());
        out.push_back(reply);
        AddReply(reply);
        m_reply = m_pending;
        m_replyKind = kind;
        m_replyLength = StandardLength(kind);
        m_pending.clear();
    }
}

}  // namespace protocol
