#include "lang/pack_parser.h"

#include <xercesc/dom/DOMNode.hpp>

#include "lang/pack_limits.h"

using namespace xercesc;

namespace corvexa::lang {

PackParser::PackParser() {
    // Validity errors (there is never a grammar) go to the error handler,
    // which ignores them; only well-formedness errors end the parse.
    setValidationScheme(XercesDOMParser::Val_Always);
    // Packs use no namespaces, and namespace processing of a deep document
    // costs time quadratic in its depth.
    setDoNamespaces(false);
    setLoadExternalDTD(false);
    setDisableDefaultEntityResolution(true);
}

void PackParser::startElement(const XMLElementDecl& elemDecl, unsigned int urlId,
                              const XMLCh* elemPrefix, const RefVectorOf<XMLAttr>& attrList,
                              XMLSize_t attrCount, bool isEmpty, bool isRoot) {
    // The new element sits below the current parent and its element
    // ancestors; counted up to the bound only.
    std::size_t depth = 1;
    for (const DOMNode* p = fCurrentParent;
         p != nullptr && p->getNodeType() == DOMNode::ELEMENT_NODE && depth <= kMaxPackDepth;
         p = p->getParentNode()) {
        ++depth;
    }
    if (depth > kMaxPackDepth) throw PackRefused{"elements nested too deep"};
    m_nodes += 1 + attrCount;
    if (m_nodes > kMaxPackNodes) throw PackRefused{"too many elements"};
    XercesDOMParser::startElement(elemDecl, urlId, elemPrefix, attrList, attrCount, isEmpty,
                                  isRoot);
}

void PackParser::docCharacters(const XMLCh* chars, XMLSize_t length, bool cdataSection) {
    m_text += length;
    if (m_text > kMaxPackText) throw PackRefused{"too much text"};
    XercesDOMParser::docCharacters(chars, length, cdataSection);
}

void PackParser::doctypeDecl(const DTDElementDecl&, const XMLCh*, const XMLCh*, bool, bool) {
    throw PackRefused{"document type declarations are not allowed"};
}

}  // namespace corvexa::lang
