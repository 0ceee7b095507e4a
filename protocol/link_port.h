#pragma once

#include "serial/serial.h"

namespace protocol {

// The time-outs every port that carries the transmitter link is opened with
// (window, command line, tests, benchmarks).
//
// - Total read 50 ms: the engine's receive loop is paced by it, and closing
//   the port relies on a read ending within it.
// - Inter-byte 2 ms: at 9600 baud the bytes of a frame follow each other
//   1.04 ms apart, so 2 ms of silence (the shortest whole-millisecond limit
//   above one byte time) is the frame's end, and the bytes go to the link
//   then instead of when the 50 ms run out. Longer gaps only cut a reply into
//   more chunks, which the link joins: a USB adapter's packets (up to 16 ms
//   apart) or a UART's FIFO time-out are not waited for here, since every
//   millisecond more would be added to each exchange and to the sampling
//   period.
// - Total write 50 ms: an 8-byte request needs 8.3 ms on the wire.
inline serial::Timeout LinkPortTimeout() {
    serial::Timeout timeout;
    timeout.interByte = 2;
    timeout.readConstant = 50;
    timeout.writeConstant = 50;
    return timeout;
}

}  // namespace protocol
