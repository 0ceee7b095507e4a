#pragma once

// RAII owners and text helpers around the XML library.

#include <xercesc/util/PlatformUtils.hpp>
#include <xercesc/util/XMLString.hpp>

#include <cstdio>
#include <string>

#include "base/wide_text.h"

namespace corvexa::lang {

// One Initialize/Terminate pair. The library counts nested pairs, so a
// load may run while another user of the library keeps it initialised.
class XercesSession {
public:
    XercesSession() {
        try {
            xercesc::XMLPlatformUtils::Initialize();
            m_ok = true;
        } catch (const xercesc::XMLException&) {
            m_ok = false;
        }
    }
    ~XercesSession() {
        if (m_ok) xercesc::XMLPlatformUtils::Terminate();
    }
    XercesSession(const XercesSession&) = delete;
    XercesSession& operator=(const XercesSession&) = delete;
    bool ok() const { return m_ok; }

private:
    bool m_ok = false;
};

inline std::wstring ToWide(const XMLCh* text) {
    return base::FromUtf16(text);
}
inline std::u16string ToXml(const std::wstring& text) {
    return base::ToUtf16(text);
}

// Writes an XML library message to standard output in the local code page.
inline void PrintXercesMessage(const XMLCh* message) {
    char* local = xercesc::XMLString::transcode(message);
    std::fputs("Exception message is: \n", stdout);
    std::fputs(local != nullptr ? local : "", stdout);
    std::fputs("\n", stdout);
    std::fflush(stdout);
    xercesc::XMLString::release(&local);
}

}  // namespace corvexa::lang
