#pragma once

// XML helper for pack tools. Only the attribute reader does anything; the
// document building operations are placeholders that return null.

#include <xercesc/util/XercesDefs.hpp>

#include <string>

#include "lang/export.h"

XERCES_CPP_NAMESPACE_BEGIN
class DOMDocument;
class DOMElement;
XERCES_CPP_NAMESPACE_END

class CORVEXA_LANG_API CPackXMLFile {
public:
    // Value of the attribute called name (exact), or the empty text when the
    // element is null, has no attributes, or lacks it, or name is empty.
    static std::wstring GetXMLNodeAttrValue(const xercesc::DOMElement* element,
                                            const std::wstring& name);

    xercesc::DOMDocument* ParserXML(const std::wstring& path);
    xercesc::DOMElement* AddNode(const std::wstring& name, double number,
                                 xercesc::DOMElement* parent);
    xercesc::DOMElement* AddNode(const std::wstring& name, const std::wstring& text,
                                 xercesc::DOMElement* parent);
    xercesc::DOMElement* GetCurElem();
};
