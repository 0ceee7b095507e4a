#pragma once

#include <atomic>
#include <memory>
#include <string>

namespace protocol {

// Where trace lines go: a file, a pipe or a terminal, opened without ever
// waiting (a FIFO with no reader is refused, not waited for). Write may
// wait for a slow reader, but gives up when `stopping` is set.
class CTraceOutput {
public:
    virtual ~CTraceOutput() = default;
    // Null with the reason in `error` when it cannot be opened.
    static std::unique_ptr<CTraceOutput> Open(const std::string& path, std::string& error);
    // False with the reason in `error` when the text could not be written
    // (a full disk, a reader that went away); `stopping` ends a wait early.
    virtual bool Write(const std::string& text, const std::atomic<bool>& stopping,
                       std::string& error) = 0;
};

}  // namespace protocol
