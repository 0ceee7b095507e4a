#pragma once

// The platform half of serial::Serial. Each platform declares the same
// operations; the front in serial.cpp only sees this header.
#if defined(_WIN32)
#include "serial/impl/win.h"
#else
#include "serial/impl/unix.h"
#endif
