#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "protocol/exchange_outcome.h"
#include "protocol/frames.h"
#include "protocol/registers.h"

namespace protocol {

// A run of received bytes as the reply assembler saw it.
struct ReceivedRun {
    enum class Kind {
        Reply,        // a recognised reply (and as much of its rest as came with it)
        Rest,         // the rest of a reply recognised in an earlier chunk
        Unexpected,   // bytes that started no reply and were skipped
        CrcError,     // a whole station-1 reply whose CRC failed, and the bytes skipped after it
        AdapterEcho,  // our own request, given back by an adapter that echoes what it sends
    };
    Kind kind = Kind::Unexpected;
    std::vector<std::uint8_t> bytes;
    Reply reply{};                 // Kind::Reply only
    bool awaited = false;          // the reply completed the exchange on the line
    bool inGuard = false;          // it came in the quiet time after a time-out
    std::optional<Frame> request;  // the request on the line when it came
};

// Sees the traffic of a transmitter link as it happens: every request sent,
// every chunk received, every time-out and how each exchange ended. Called
// on the link's worker threads and the engine's receive thread, without the
// link's lock held; must be quick and must not call back into the link.
class ILinkObserver {
public:
    // `attempt` of `attempts`; called just before the request is written.
    virtual void OnSent(const Frame& /*request*/, int /*attempt*/, int /*attempts*/) {}
    // Each chunk received, as runs; bytes of a reply not yet recognised
    // come in a later call.
    virtual void OnReceivedRuns(const std::vector<ReceivedRun>& /*runs*/) {}
    virtual void OnTimedOut(const Frame& /*request*/, int /*attempt*/, int /*attempts*/) {}
    virtual void OnExchangeEnded(const ExchangeOutcome& /*outcome*/) {}
    // A new connection (the port is about to open).
    virtual void OnConnectionBegun() {}
    // The engine reported the port gone or unreadable.
    virtual void OnPortLost() {}
    // The port was opened again at `baud` to look for the device there.
    virtual void OnProbe(int /*baud*/) {}
    // A typed value the link was asked to note as refused (nothing was sent).
    virtual void OnRefused(OperationCode /*code*/, const std::wstring& /*text*/,
                           const std::wstring& /*reason*/) {}

protected:
    ~ILinkObserver() = default;
};

}  // namespace protocol
