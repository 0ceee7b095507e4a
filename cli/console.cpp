#include "cli/console.h"

#include <cstdio>

#include "cli/impl/platform.h"
#include "cli/stop_signal.h"

namespace cli {

Console::Console() : m_terminal(StandardErrorIsTerminal()) {}

void Console::Print(const std::string& text) {
    std::lock_guard lock(m_mutex);
    EraseProgressLine();
    std::fputs(text.c_str(), stdout);
    if (text.empty() || text.back() != '\n') std::fputc('\n', stdout);
    // Nobody reads any more (`| head -1`): the command ends as for SIGPIPE.
    if (std::fflush(stdout) == EOF || std::ferror(stdout)) {
        std::clearerr(stdout);
        StopForBrokenPipe();
    }
}

void Console::Prompt(const std::string& text) {
    std::lock_guard lock(m_mutex);
    EraseProgressLine();
    std::fputs(text.c_str(), stderr);
    std::fflush(stderr);
}

void Console::Error(const std::string& text) {
    std::lock_guard lock(m_mutex);
    EraseProgressLine();
    std::fprintf(stderr, "corvexa-cli: %s\n", text.c_str());
    std::fflush(stderr);
}

void Console::SetProgress(std::size_t slot, const std::string& text) {
    if (!m_terminal) return;
    std::lock_guard lock(m_mutex);
    if (m_progress.size() <= slot) m_progress.resize(slot + 1);
    m_progress[slot] = text;
    std::string line;
    for (const std::string& part : m_progress) {
        if (part.empty()) continue;
        if (!line.empty()) line += "   ";
        line += part;
    }
    // Blanks over what the previous, longer line left; no escape sequences,
    // so an old Windows console shows it too.
    const std::size_t width = line.size();
    if (line.size() < m_shownWidth) line.append(m_shownWidth - line.size(), ' ');
    std::fprintf(stderr, "\r%s", line.c_str());
    std::fflush(stderr);
    m_shownWidth = width;
}

void Console::ClearProgress() {
    std::lock_guard lock(m_mutex);
    m_progress.clear();
    EraseProgressLine();
}

void Console::EraseProgressLine() {
    if (m_shownWidth == 0) return;
    std::fprintf(stderr, "\r%s\r", std::string(m_shownWidth, ' ').c_str());
    std::fflush(stderr);
    m_shownWidth = 0;
}

}  // namespace cli
