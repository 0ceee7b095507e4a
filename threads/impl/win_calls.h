#pragma once

// The Win32 thread calls the thread object makes, gathered so a test can
// make one fail. Tests restore the originals before they return.

#include <windows.h>

namespace threads_impl {

struct SWinThreadCalls {
    decltype(&::CreateThread) createThread;
    decltype(&::TerminateThread) terminateThread;
};

SWinThreadCalls& WinThreadCalls();

}  // namespace threads_impl
