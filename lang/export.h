#pragma once

// The language library is loaded by every window module; only the names
// listed in language.h leave it, everything else stays hidden so that the
// shared object's interface cannot grow by accident.
#if defined(_WIN32)
#if defined(CORVEXA_LANG_BUILD)
#define CORVEXA_LANG_API __declspec(dllexport)
#else
#define CORVEXA_LANG_API __declspec(dllimport)
#endif
#else
#define CORVEXA_LANG_API __attribute__((visibility("default")))
#endif
