#pragma once

#include <cstdint>
#include <exception>
#include <functional>
#include <string>

class CThread;

// A failure to create or control a thread. Thrown by value; catch it by
// reference.
class CThreadException : public std::exception {
public:
    enum : int32_t {
        TypeCreateFailed = 1,     // Start: the platform could not create the thread
        TypeAlreadyStarted = 2,   // Start: the thread is still alive
        TypeTerminateFailed = 3,  // Terminate: the kill failed
        TypeEventFailed = 4,      // Start: the command event could not be made
        TypePostFailed = 5,       // Start or PostCommand: queuing a command failed
    };

    CThreadException(CThread* thread, std::wstring message, int32_t type);

    CThread* GetThread() const { return m_thread; }
    const std::wstring& GetMessage() const { return m_message; }
    int32_t GetType() const { return m_type; }

    // The message in UTF-8.
    const char* what() const noexcept override { return m_what.c_str(); }

    // Shows the message through the installed reporter and returns what
    // the reporter returned. The program always passes 0 for both (a plain
    // box with an OK button); they are handed on for reporters that care.
    int ReportError(uint32_t style = 0, uint32_t resourceId = 0) const;

private:
    CThread* m_thread;
    std::wstring m_message;
    int32_t m_type;
    std::string m_what;
};

// The application installs a reporter at start-up (a message box); this
// module knows no windows. The reporter is called on whichever thread hit
// the failure: the user-interface thread, the communication engine's
// receive thread (it launches tasks) or a worker (it may fail to get the
// manager), so a reporter that shows a window must hand the text over to
// the user-interface thread. The default writes the text and a line break
// to standard error and returns 1 (the OK button). An empty function
// restores the default.
using ThreadErrorReporter = std::function<int(const std::wstring& text)>;
void SetThreadErrorReporter(ThreadErrorReporter reporter);
