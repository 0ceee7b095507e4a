#include "lang/packxmlfile.h"

#include <xercesc/dom/DOM.hpp>

#include "lang/xerces_util.h"

using namespace xercesc;

std::wstring CPackXMLFile::GetXMLNodeAttrValue(const DOMElement* element,
                                               const std::wstring& name) {
    if (element == nullptr || !element->hasAttributes() || name.empty()) return {};
    const std::u16string xmlName = corvexa::lang::ToXml(name);
    const DOMNode* attr = element->getAttributes()->getNamedItem(xmlName.c_str());
    return attr != nullptr ? corvexa::lang::ToWide(attr->getNodeValue()) : std::wstring();
}

DOMDocument* CPackXMLFile::ParserXML(const std::wstring&) {
    return nullptr;
}

DOMElement* CPackXMLFile::AddNode(const std::wstring&, double, DOMElement*) {
    return nullptr;
}

DOMElement* CPackXMLFile::AddNode(const std::wstring&, const std::wstring&, DOMElement*) {
    return nullptr;
}

DOMElement* CPackXMLFile::GetCurElem() {
    return nullptr;
}
