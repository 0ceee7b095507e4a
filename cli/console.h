#pragma once

#include <mutex>
#include <string>
#include <vector>

namespace cli {

// Standard output and standard error, shared by the threads of all ports:
// whole lines only, and a progress line on stderr when it is a terminal.
class Console {
public:
    Console();

    // One result: a line (or an aligned block of lines) on stdout.
    void Print(const std::string& text);
    // A question on stderr, the answer typed on the same line.
    void Prompt(const std::string& text);
    // "corvexa-cli: <text>" on stderr, one line.
    void Error(const std::string& text);
    // The progress of one port ("reg 15, 6 of 14"); shown only on a terminal.
    void SetProgress(std::size_t slot, const std::string& text);
    void ClearProgress();
    bool ShowsProgress() const { return m_terminal; }

private:
    void EraseProgressLine();

    const bool m_terminal;
    std::mutex m_mutex;
    std::vector<std::string> m_progress;
    std::size_t m_shownWidth = 0;
};

}  // namespace cli
