#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

#include "protocol/frames.h"
#include "protocol/link_observer.h"

namespace protocol {

// Turns the chunks the serial engine delivers into whole replies, however
// the line cut them: a reply split over several chunks is joined, several
// replies in one chunk come out one by one, and bytes that start no known
// reply are dropped one at a time until a known header lines up again.
//
// A vendor answer (FF F8, FF AA, FF BB) is recognised by its two bytes, as
// real devices send only those; its standard rest (FF FF FF FF crc crc) is
// swallowed as it arrives, and the first byte that does not fit it starts a
// new reply. A station-1 reply counts only whole and with a good CRC: a read
// reply (01 03 02 hi lo crc crc), a write echo (8 bytes) and an exception
// (01 83/86 code crc crc). One whose CRC fails is reported as a CRC error
// and the search goes on from its second byte, so a good reply behind a
// stray header is still found.
//
// Not thread-safe; the owner serialises access.
class CReplyAssembler {
public:
    // Appends the replies recognised in `data` to `out`, in order. Never
    // yields ReplyKind::Other.
    void Feed(const std::uint8_t* data, std::size_t length, std::vector<Reply>& out);
    // The same, and also says which bytes made which reply and which were
    // skipped (`runs` gets kind, bytes and, for a reply, the reply itself).
    void Feed(const std::uint8_t* data, std::size_t length, std::vector<Reply>& out,
              std::vector<ReceivedRun>* runs);

    // The bytes DropPartial would forget.
    const std::vector<std::uint8_t>& Partial() const { return m_pending; }

    // Forgets the bytes of a reply not yet recognised. The rest of a
    // recognised reply is still swallowed when it comes.
    void DropPartial();

    // Bytes fed that no run has reported yet: the head of a reply not yet
    // recognised, and the rest of a vendor answer while it is coming.
    std::size_t HeldBytes() const {
        return m_pending.size() + (m_replyLength != 0 ? m_reply.size() - 2 : 0);
    }

    // True while bytes of an unrecognised reply are held.
    bool HasPartial() const { return !m_pending.empty(); }

    // True while a vendor answer has not yet come to its standard length
    // (its last bytes are still on the line, or the device sent a short form).
    bool AwaitsRest() const { return m_replyLength != 0; }
    // How much of that rest came so far.
    std::size_t RestReceived() const { return m_replyLength != 0 ? m_reply.size() - 2 : 0; }
    // True once a vendor answer came in its standard length: this device
    // pads its answers, so a rest not here yet is still on its way.
    bool PaddingSeen() const { return m_paddingSeen; }

private:
    void FeedByte(std::uint8_t byte, std::vector<Reply>& out);
    // True if `byte` is the next byte of the recognised reply's standard form.
    bool ContinuesReply(std::uint8_t byte) const;
    void Skip(std::uint8_t byte);
    // The first byte of a whole station-1 reply whose CRC failed.
    void SkipCrcFailure(std::uint8_t byte, std::size_t length);
    // The rest of a vendor answer came whole: its bytes go into a run.
    void ReportRest();
    void AddReply(const Reply& reply);

    std::vector<ReceivedRun>* m_runs = nullptr;  // during one Feed only
    bool m_answerInFeed = false;                 // a reply's run was added in this Feed

    // Head of a reply not yet recognised (at most 8 bytes).
    std::vector<std::uint8_t> m_pending;
    // Bytes of the last reply that failed its CRC still to be skipped; they
    // join its CRC-error run.
    std::size_t m_crcRest = 0;
    // The recognised vendor answer as far as it came, and its standard
    // length; m_replyLength is 0 when no answer is being swallowed.
    std::vector<std::uint8_t> m_reply;
    std::size_t m_replyLength = 0;
    bool m_paddingSeen = false;
};

}  // namespace protocol
