#include "protocol/reply_assembler.h"

#include <algorithm>

namespace protocol {

namespace {

// Bytes a reply needs before it counts: a vendor answer its two, a
// station-1 reply all of them, since only its CRC can vouch for it.
std::size_t BytesToRecognise(ReplyKind kind) {
    switch (kind) {
        case ReplyKind::RegisterValue:
            return kReadReplyLength;
        case ReplyKind::WriteEcho:
            return kFrameLength;
        case ReplyKind::Exception:
            return kExceptionLength;
        default:
            return 2;
    }
}

// A read of one register is answered with byte count 2.
constexpr std::size_t kByteCountAt = 2;
constexpr std::uint8_t kOneRegisterBytes = 2;

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
    m_answerInFeed = false;
    for (std::size_t i = 0; i < length; ++i) FeedByte(data[i], out);
    m_runs = nullptr;
}

void CReplyAssembler::Skip(std::uint8_t byte) {
    const bool crcRest = m_crcRest > 0;
    if (crcRest) --m_crcRest;
    if (m_runs == nullptr) return;
    const auto kind =
        crcRest && !m_runs->empty() && m_runs->back().kind == ReceivedRun::Kind::CrcError
            ? ReceivedRun::Kind::CrcError
            : ReceivedRun::Kind::Unexpected;
    if (m_runs->empty() || m_runs->back().kind != kind) {
        ReceivedRun run;
        run.kind = kind;
        m_runs->push_back(std::move(run));
    }
    m_runs->back().bytes.push_back(byte);
}

void CReplyAssembler::SkipCrcFailure(std::uint8_t byte, std::size_t length) {
    m_crcRest = length - 1;
    if (m_runs == nullptr) return;
    ReceivedRun run;
    run.kind = ReceivedRun::Kind::CrcError;
    run.bytes.push_back(byte);
    m_runs->push_back(std::move(run));
}

void CReplyAssembler::ReportRest() {
    if (m_runs == nullptr) return;
    // Nothing else can come between an answer and its rest: each byte in
    // between either continues the rest or ends it.
    if (!m_answerInFeed || m_runs->empty()) {
        ReceivedRun rest;
        rest.kind = ReceivedRun::Kind::Rest;
        m_runs->push_back(rest);
    }
    m_runs->back().bytes.insert(m_runs->back().bytes.end(), m_reply.begin() + 2, m_reply.end());
}

void CReplyAssembler::AddReply(const Reply& reply) {
    m_answerInFeed = true;
    if (m_runs == nullptr) return;
    ReceivedRun run;
    run.kind = ReceivedRun::Kind::Reply;
    run.bytes = m_pending;
    run.reply = reply;
    m_runs->push_back(std::move(run));
}

void CReplyAssembler::DropPartial() {
    m_pending.clear();
    m_crcRest = 0;
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
    // Vendor answers are padded with FF.
    return byte == 0xFF;
}

void CReplyAssembler::FeedByte(std::uint8_t byte, std::vector<Reply>& out) {
    if (m_replyLength != 0) {
        if (ContinuesReply(byte)) {
            m_reply.push_back(byte);
            if (m_reply.size() == m_replyLength) {
                m_replyLength = 0;
                m_paddingSeen = true;
                ReportRest();
            }
            return;
        }
        // The device sent a short form; this byte is new. FF padding taken so
        // far (not reported yet) may have been the head of the next vendor
        // answer (FF F8 FF AA).
        m_replyLength = 0;
        if (m_reply.size() > 2) {
            const std::vector<std::uint8_t> swallowed(m_reply.begin() + 2, m_reply.end());
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
        const std::size_t needed = BytesToRecognise(kind);
        if (m_pending.size() < needed) return;
        const bool vendor = IsVendorAnswer(kind);
        if (!vendor && !CrcCloses(m_pending.data(), needed)) {
            SkipCrcFailure(m_pending[0], needed);
            m_pending.erase(m_pending.begin());
            continue;
        }
        // What followed the reply in the head (left by a failed CRC) is
        // looked at afresh: a vendor answer's rest is checked byte by byte.
        const std::vector<std::uint8_t> after(m_pending.begin() + needed, m_pending.end());
        m_pending.resize(needed);
        Reply reply = ClassifyReply(m_pending.data(), needed);
        if (kind == ReplyKind::WriteEcho) {
            reply.echo = Frame{};
            std::copy(m_pending.begin(), m_pending.end(), reply.echo->begin());
        }
        m_crcRest = 0;
        out.push_back(reply);
        AddReply(reply);
        if (vendor) {
            m_reply = m_pending;
            m_replyLength = kFrameLength;
        }
        m_pending.clear();
        for (std::uint8_t b : after) FeedByte(b, out);
        return;
    }
}

}  // namespace protocol
