#pragma once

// The DOM parser of the pack reader with the limits of pack_limits.h
// applied while the document is read: it throws PackRefused as soon as the
// document has a DOCTYPE (packs need none, and it is what entities are
// declared in), nests too deep, or holds too many nodes or too much text,
// so a hostile document stops after a few elements rather than after it
// was built whole.

#include <xercesc/parsers/XercesDOMParser.hpp>

#include <cstddef>

namespace corvexa::lang {

struct PackRefused {
    const char* reason;
};

class PackParser : public xercesc::XercesDOMParser {
public:
    PackParser();

    void startElement(const xercesc::XMLElementDecl& elemDecl, unsigned int urlId,
                      const XMLCh* elemPrefix,
                      const xercesc::RefVectorOf<xercesc::XMLAttr>& attrList, XMLSize_t attrCount,
                      bool isEmpty, bool isRoot) override;
    void docCharacters(const XMLCh* chars, XMLSize_t length, bool cdataSection) override;
    void doctypeDecl(const xercesc::DTDElementDecl& elemDecl, const XMLCh* publicId,
                     const XMLCh* systemId, bool hasIntSubset, bool hasExtSubset) override;

private:
    std::size_t m_nodes = 0;
    std::size_t m_text = 0;
};

}  // namespace corvexa::lang
