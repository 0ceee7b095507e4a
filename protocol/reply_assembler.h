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
// A reply is recognised by its first two bytes, as soon as the bytes its
// kind needs are in: 2 for the vendor answers, 5 for a register value (whose
// byte count must be 2), all 8 for a write echo (whose CRC must close it, as
// it must equal the request it answers). The rest of a standard reply
// (FF xx FF FF FF FF crc crc, 01 03 02 hi lo crc crc) is swallowed as it
// arrives; the first byte that does not fit it starts a new reply, so a
// device that sends only the two answer bytes is understood as well.
// Apart from the echo the CRC is not verified: such a reply with a bad CRC
// still counts.
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

    // True while bytes of an unrecognised reply are held.
    bool HasPartial() const { return !m_pending.empty(); }

    // True while a recognised reply has not yet come to its standard length
    // (its last bytes are still on the line, or the device sent a short form).
    bool AwaitsRest() const { return m_replyLength != 0; }

private:
    void FeedByte(std::uint8_t byte, std::vector<Reply>& out);
    // True if `byte` is the next byte of the recognised reply's standard form.
    bool ContinuesReply(std::uint8_t byte) const;
    void Skip(std::uint8_t byte);
    void TakeRest(std::uint8_t byte);
    void AddReply(const Reply& reply);
    // FF padding taken as rest that turned out to start the next reply.
    void UntakeRest(std::size_t count);

    std::vector<ReceivedRun>* m_runs = nullptr;  // during one Feed only

    // Head of a reply not yet recognised (at most 7 bytes).
    std::vector<std::uint8_t> m_pending;
    // The recognised reply as far as it came, and its standard length;
    // m_replyLength is 0 when no reply is being swallowed.
    std::vector<std::uint8_t> m_reply;
    std::size_t m_replyLength = 0;
    ReplyKind m_replyKind = ReplyKind::Other;
};

}  // namespace protocol
