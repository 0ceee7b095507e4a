#pragma once

#include "app/options.h"

// The application: language first, then the thread-error reporter, the
// simulated transmitter if asked for, and the main window run modally.
// Its shut-down is the main window's destruction at the end of Run.
class CCorvexaApp {
public:
    explicit CCorvexaApp(SOptions options) : m_options(std::move(options)) {}

    // Needs a QApplication. Returns the process exit code.
    int Run();

private:
    SOptions m_options;
};

// Shows thread failures in a message box. Safe from any thread: off the
// window thread the box is queued to it and the caller goes on.
void InstallThreadErrorReporter();
