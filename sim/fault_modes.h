#pragma once

#include <chrono>
#include <cstddef>
#include <cstdint>
#include <optional>
#include <vector>

namespace corvexa::sim {

// How the simulated transmitter misbehaves. All off by default.
struct FaultModes {
    // Requests are received and recorded but never answered.
    bool silent = false;
    // Wait this long before answering.
    std::chrono::milliseconds replyDelay{0};
    // Cut each reply before these byte offsets (ascending, inside the reply);
    // takes precedence over splitPieces.
    std::vector<std::size_t> splitOffsets;
    // Or cut each reply into this many near-equal pieces (0 or 1: whole).
    std::size_t splitPieces = 0;
    // Silence on the line between two pieces.
    std::chrono::milliseconds splitPause{0};
    // Hold every other reply back and send it in one go with the next one.
    bool glue = false;
    // Spoil the CRC of every reply.
    bool corruptCrc = false;
    // Refuse every station-1 request with this Modbus exception code, or
    // with exceptionRegister set only the requests for that register.
    std::optional<std::uint8_t> exceptionCode;
    std::optional<std::uint16_t> exceptionRegister;
    // Flip one bit of every n-th reply (0: none) and keep the CRC it had, as
    // noise on the wire would: the last byte before the CRC, 0x10.
    unsigned flipEvery = 0;
    // Ignore every n-th request (0: none), counted over all requests.
    unsigned dropEvery = 0;
    // Answer requests for this register only after slowDelay more (reads and
    // writes alike); the others keep their pace.
    std::optional<std::uint16_t> slowRegister;
    std::chrono::milliseconds slowDelay{0};
    // Echo every write with its value's low bit flipped (CRC made to fit).
    bool alterEcho = false;
    // Bytes sent in front of every reply, in the same piece; with
    // strayRegister set only in front of the replies for that register.
    std::vector<std::uint8_t> strayPrefix;
    std::optional<std::uint16_t> strayRegister;
    // A babbling line: while no request is being answered, one 00 byte goes
    // out every this often (0: quiet).
    std::chrono::milliseconds babble{0};
    // Deliver like a USB adapter (0: off): the bytes that are through on the
    // wire go to the program together, once per this period (16 ms is the
    // usual latency of an FTDI adapter), so a reply comes late and may come
    // in two packets.
    std::chrono::milliseconds usbPacket{0};
    // A two-wire RS-485 adapter without echo suppression: every request
    // comes back to the program as it was sent, before any answer, whether
    // the device heard it or not.
    bool adapterEcho = false;
    // Requests for this register are heard and never answered.
    std::optional<std::uint16_t> ignoreRegister;
    // Vendor answers go out as their two bytes alone (FF F8, FF AA, FF BB),
    // as the real devices send them, without the FF FF FF FF and CRC.
    bool shortVendorAnswers = false;
};

// The fault modes that act on a reply's content and timing for one request.
// Returns the extra delay for `request`; alters `reply` in place.
std::chrono::milliseconds ApplyReplyFaults(const std::vector<std::uint8_t>& request,
                                           std::vector<std::uint8_t>& reply,
                                           const FaultModes& faults);

// The pieces `reply` goes out in under `faults`: always at least one piece
// (empty pieces are never produced; offsets outside the reply are ignored).
std::vector<std::vector<std::uint8_t>> SplitReply(const std::vector<std::uint8_t>& reply,
                                                  const FaultModes& faults);

// Flips bit 4 of the last byte before the CRC and leaves the CRC alone.
void FlipBitKeepingCrc(std::vector<std::uint8_t>& reply);

// Inverts both CRC bytes, so the CRC is wrong whatever the payload.
void CorruptCrc(std::vector<std::uint8_t>& reply);

}  // namespace corvexa::sim
