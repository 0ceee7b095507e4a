// Feeds arbitrary bytes to the reply assembler, once whole and once cut into
// chunks chosen by the first byte, and checks what the link relies on: the
// same replies however the line cuts them, every byte reported once (as a
// reply, its rest, a CRC error or unexpected) or still held, and no
// station-1 reply without a good CRC.

#include <cstdint>
#include <cstdlib>
#include <vector>

#include "protocol/reply_assembler.h"

namespace {

using protocol::CReplyAssembler;
using protocol::ReceivedRun;
using protocol::Reply;
using protocol::ReplyKind;

void Check(bool ok) {
    if (!ok) std::abort();
}

std::size_t ReportedBytes(const std::vector<ReceivedRun>& runs) {
    std::size_t n = 0;
    for (const ReceivedRun& run : runs) n += run.bytes.size();
    return n;
}

void CheckVouched(const std::vector<ReceivedRun>& runs) {
    for (const ReceivedRun& run : runs) {
        if (run.kind != ReceivedRun::Kind::Reply) continue;
        const auto& b = run.bytes;
        switch (run.reply.kind) {
            case ReplyKind::RegisterValue:
                Check(b.size() == protocol::kReadReplyLength && protocol::CrcCloses(b.data(), 7));
                Check(run.reply.value == static_cast<std::uint16_t>(b[3] << 8 | b[4]));
                break;
            case ReplyKind::WriteEcho:
                Check(b.size() == protocol::kFrameLength && protocol::CrcCloses(b.data(), 8));
                break;
            case ReplyKind::Exception:
                Check(b.size() == protocol::kExceptionLength && protocol::CrcCloses(b.data(), 5));
                break;
            case ReplyKind::Other:
                Check(false);
                break;
            default:
                Check(b.size() >= 2 && b[0] == protocol::kVendorStation);
                break;
        }
    }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size < 1) return 0;
    std::uint32_t seed = data[0];
    const std::uint8_t* stream = data + 1;
    const std::size_t n = size - 1;

    CReplyAssembler whole;
    std::vector<Reply> wholeReplies;
    std::vector<ReceivedRun> wholeRuns;
    whole.Feed(stream, n, wholeReplies, &wholeRuns);
    Check(ReportedBytes(wholeRuns) + whole.HeldBytes() == n);
    CheckVouched(wholeRuns);

    CReplyAssembler cut;
    std::vector<Reply> cutReplies;
    std::size_t reported = 0;
    for (std::size_t at = 0; at < n;) {
        seed = seed * 1103515245u + 12345u;
        const std::size_t chunk = std::min<std::size_t>(n - at, 1 + (seed >> 16) % 12);
        std::vector<ReceivedRun> runs;
        cut.Feed(stream + at, chunk, cutReplies, &runs);
        CheckVouched(runs);
        reported += ReportedBytes(runs);
        at += chunk;
    }
    Check(reported + cut.HeldBytes() == n);
    Check(cutReplies == wholeReplies);

    const Reply single = protocol::ClassifyReply(stream, n);
    if (single.value) Check(protocol::CrcCloses(stream, protocol::kReadReplyLength));
    return 0;
}
