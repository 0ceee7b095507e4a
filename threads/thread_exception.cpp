#include "threads/thread_exception.h"

#include <cstdio>
#include <mutex>
#include <utility>

namespace {

struct SReporter {
    std::mutex mutex;
    ThreadErrorReporter reporter;
};

SReporter& Reporter() {
    // Never destroyed: a worker may report while the program exits.
    static SReporter* reporter = new SReporter;
    return *reporter;
}

int ReportToStandardError(const std::wstring& text) {
    std::string line = ThreadTextToUtf8(text);
    line += '\n';
    std::fputs(line.c_str(), stderr);
    std::fflush(stderr);
    return 1;
}

void AppendUtf8(std::string& out, char32_t c) {
    if (c < 0x80) {
        out += static_cast<char>(c);
    } else if (c < 0x800) {
        out += static_cast<char>(0xC0 | (c >> 6));
        out += static_cast<char>(0x80 | (c & 0x3F));
    } else if (c < 0x10000) {
        out += static_cast<char>(0xE0 | (c >> 12));
        out += static_cast<char>(0x80 | ((c >> 6) & 0x3F));
        out += static_cast<char>(0x80 | (c & 0x3F));
    } else {
        out += static_cast<char>(0xF0 | (c >> 18));
        out += static_cast<char>(0x80 | ((c >> 12) & 0x3F));
        out += static_cast<char>(0x80 | ((c >> 6) & 0x3F));
        out += static_cast<char>(0x80 | (c & 0x3F));
    }
}

}  // namespace

std::string ThreadTextToUtf8(const std::wstring& text) {
    std::string out;
    out.reserve(text.size());
    for (std::size_t i = 0; i < text.size(); ++i) {
        char32_t c = static_cast<char32_t>(text[i]);
        // wchar_t is 16 bits on Windows: join surrogate pairs there.
        if (sizeof(wchar_t) == 2 && c >= 0xD800 && c < 0xDC00 &&
            i + 1 < text.size()) {
            char32_t low = static_cast<char32_t>(text[i + 1]);
            if (low >= 0xDC00 && low < 0xE000) {
                c = 0x10000 + ((c - 0xD800) << 10) + (low - 0xDC00);
                ++i;
            }
        }
        if (c > 0x10FFFF || (c >= 0xD800 && c < 0xE000))
            c = 0xFFFD;
        AppendUtf8(out, c);
    }
    return out;
}

void SetThreadErrorReporter(ThreadErrorReporter reporter) {
    SReporter& r = Reporter();
    std::lock_guard<std::mutex> lock(r.mutex);
    r.reporter = std::move(reporter);
}

CThreadException::CThreadException(CThread* thread, std::wstring message,
                                   int32_t type)
    : m_thread(thread),
      m_message(std::move(message)),
      m_type(type),
      m_what(ThreadTextToUtf8(m_message)) {}

int CThreadException::ReportError(uint32_t /*style*/,
                                  uint32_t /*resourceId*/) const {
    ThreadErrorReporter reporter;
    {
        SReporter& r = Reporter();
        std::lock_guard<std::mutex> lock(r.mutex);
        reporter = r.reporter;
    }
    // Called outside the lock: a reporter may show a modal box for a while.
    return reporter ? reporter(m_message) : ReportToStandardError(m_message);
}
