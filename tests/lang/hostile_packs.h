#pragma once

// Broken and hostile language packs, made at run time (some are huge or
// special files that cannot be committed), for the tests and the bench.

#include <sys/stat.h>
#include <unistd.h>

#include <string>

#include "tests/lang/test_support.h"

namespace langtest {

inline std::string Doc(const std::string& body) {
    return "<?xml version=\"1.0\"?><Lang><Group name=\"Main\">" + body + "</Group></Lang>";
}

inline std::string Repeat(const std::string& s, size_t n) {
    std::string out;
    out.reserve(s.size() * n);
    for (size_t i = 0; i < n; ++i) out += s;
    return out;
}

inline std::string DeepIds(size_t levels) {
    return Doc("<IDS id=\"105\">" + Repeat("<a>", levels) + "x" + Repeat("</a>", levels) +
               "</IDS>");
}

// One 20 KB entity used 9000 times: 47 KB that expand to 180 million
// characters.
inline std::string EntityAmplification() {
    return "<?xml version=\"1.0\"?><!DOCTYPE Lang [<!ENTITY e \"" + std::string(20000, 'x') +
           "\">]><Lang><Group name=\"Main\">"
           "<IDS id=\"105\">" +
           Repeat("&e;", 9000) + "</IDS></Group></Lang>";
}

// Groups inside texts share their text with every text around them: 3 Mi
// characters at the bottom of three nested texts are gathered three times.
inline std::string NestedTextsOverBudget() {
    return Doc(
        "<IDS id=\"1\"><Group name=\"A\"><IDS id=\"2\"><Group name=\"B\">"
        "<IDS id=\"3\">" +
        std::string(size_t{3} << 20, 'x') + "</IDS></Group></IDS></Group></IDS>");
}

inline bool Sparse40GB(const std::string& path) {
    WriteBytes(path, "");
    return truncate(path.c_str(), 40LL << 30) == 0;
}

struct HostileCase {
    const char* name;
    const char* file;  // in lang/; a plain pack has a good packed one beside it
    bool (*make)(const std::string& path);  // false: could not be made
    const char* reason;
};

inline const HostileCase kHostileCases[] = {
    {"DeepNesting200000", "zh_CN.lang",
     [](const std::string& p) { return WriteBytes(p, Pack(DeepIds(200000))); },
     "elements nested too deep"},
    {"DeepNestingTwoMillion", "zh_CN.lang",
     [](const std::string& p) { return WriteBytes(p, Pack(DeepIds(2000000))); },
     "elements nested too deep"},
    {"DeepNestingPlain", "zh_CN.xml",
     [](const std::string& p) { return WriteBytes(p, DeepIds(200000)); },
     "elements nested too deep"},
    {"EntityAmplification", "zh_CN.xml",
     [](const std::string& p) { return WriteBytes(p, EntityAmplification()); },
     "document type declarations are not allowed"},
    {"TooMuchText", "zh_CN.lang",
     [](const std::string& p) {
         return WriteBytes(p, Pack(MainPack({{105, std::string(size_t{9} << 20, 'x')}})));
     },
     "too much text"},
    {"NestedTextsOverBudget", "zh_CN.lang",
     [](const std::string& p) { return WriteBytes(p, Pack(NestedTextsOverBudget())); },
     "too much text"},
    {"TooManyElements", "zh_CN.lang",
     [](const std::string& p) { return WriteBytes(p, Pack(Doc(Repeat("<x/>", 200000)))); },
     "too many elements"},
    {"HugeSparseContainer", "zh_CN.lang", Sparse40GB, "larger than 64 MiB"},
    {"HugeSparsePlain", "zh_CN.xml", Sparse40GB, "larger than 64 MiB"},
    {"Fifo", "zh_CN.xml", [](const std::string& p) { return mkfifo(p.c_str(), 0600) == 0; },
     "not a regular file"},
};

inline void PrintTo(const HostileCase& c, std::ostream* os) {
    *os << c.name;
}

}  // namespace langtest
