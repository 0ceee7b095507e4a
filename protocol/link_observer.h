#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>

#include "protocol/frames.h"

namespace protocol {

// How one exchange ended: the request, whether its reply came, how many
// times the request was sent, and for a read the word the reply carried.
struct ExchangeOutcome {
    Frame request{};
    bool ok = false;
    int attempts = 0;
    std::optional<std::uint16_t> value;
};

// Sees the traffic of a transmitter link as it happens: every request sent,
// every chunk received, every time-out and how each exchange ended. Called
// on the link's worker threads and the engine's receive thread, without the
// link's lock held; must be quick and must not call back into the link.
class ILinkObserver {
public:
    virtual void OnSent(const Frame& /*request*/, int /*attempt*/) {}
    virtual void OnReceived(const std::uint8_t* /*data*/, std::size_t /*length*/) {}
    virtual void OnTimedOut(const Frame& /*request*/, int /*attempt*/) {}
    virtual void OnExchangeEnded(const ExchangeOutcome& /*outcome*/) {}

protected:
    ~ILinkObserver() = default;
};

}  // namespace protocol
