#pragma once

// The POSIX thread calls the thread object makes, gathered so a test can
// make one fail (an exhausted thread limit, a lost thread). Tests restore
// the originals before they return.

#include <pthread.h>

namespace threads_impl {

struct SPosixThreadCalls {
    int (*create)(pthread_t*, const pthread_attr_t*, void* (*)(void*), void*);
    int (*cancel)(pthread_t);
};

SPosixThreadCalls& PosixThreadCalls();

}  // namespace threads_impl
