#include "threads/thread_exception.h"

#include <cstdio>
#include <mutex>
#include <utility>

#include "base/wide_text.h"

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
    std::string line = corvexa::base::ToUtf8(text);
    line += '\n';
    std::fputs(line.c_str(), stderr);
    std::fflush(stderr);
    return 1;
}

}  // namespace

void SetThreadErrorReporter(ThreadErrorReporter reporter) {
    SReporter& r = Reporter();
    std::lock_guard<std::mutex> lock(r.mutex);
    r.reporter = std::move(reporter);
}

CThreadException::CThreadException(CThread* thread, std::wstring message, int32_t type)
    : m_thread(thread),
      m_message(std::move(message)),
      m_type(type),
      m_what(corvexa::base::ToUtf8(m_message)) {}

int CThreadException::ReportError(uint32_t /*style*/, uint32_t /*resourceId*/) const {
    ThreadErrorReporter reporter;
    {
        SReporter& r = Reporter();
        std::lock_guard<std::mutex> lock(r.mutex);
        reporter = r.reporter;
    }
    // Called outside the lock: a reporter may show a modal box for a while.
    return reporter ? reporter(m_message) : ReportToStandardError(m_message);
}
