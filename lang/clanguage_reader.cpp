// The pack reader steps of CLanguage: one XML document (plain, or unpacked
// from a .lang container) into the group map.

#include <xercesc/dom/DOM.hpp>
#include <xercesc/framework/MemBufInputSource.hpp>
#include <xercesc/sax/HandlerBase.hpp>
#include <xercesc/util/XMLString.hpp>

#include <climits>
#include <cstdio>
#include <cwctype>
#include <memory>
#include <string>
#include <vector>

#include "base/ascii_case.h"
#include "lang/clanguage.h"
#include "lang/mylzmapack.h"
#include "lang/pack_limits.h"
#include "lang/pack_parser.h"
#include "lang/packxmlfile.h"
#include "lang/platform.h"
#include "lang/xerces_util.h"

using namespace xercesc;

namespace {

constexpr size_t kBuckets = 257;

bool NameEqualsNoCase(const XMLCh* name, std::u16string_view expected) {
    return name != nullptr && corvexa::base::EqualsAsciiNoCase(name, expected);
}

// A text id reads like wcstol with base 10 on a platform whose long is 32
// bits: blanks, sign, digits up to the first other character, clamped.
int ParseTextId(const std::wstring& text) {
    size_t i = 0;
    while (i < text.size() && std::iswspace(text[i])) ++i;
    bool negative = false;
    if (i < text.size() && (text[i] == L'+' || text[i] == L'-')) {
        negative = text[i] == L'-';
        ++i;
    }
    long long value = 0;
    for (; i < text.size() && text[i] >= L'0' && text[i] <= L'9'; ++i) {
        value = value * 10 + (text[i] - L'0');
        if (value > static_cast<long long>(INT_MAX) + 1) value = INT_MAX + 2LL;
    }
    if (negative) value = -value;
    if (value > INT_MAX) return INT_MAX;
    if (value < INT_MIN) return INT_MIN;
    return static_cast<int>(value);
}

struct ByteArrayDeleter {
    void operator()(uint8_t* p) const { delete[] p; }
};

// The text content of element: all descendant text and CDATA in document
// order, as DOMNode::getTextContent gives it, but walked without recursion
// and charged to *budget; false when the budget does not cover it.
bool GatherText(const DOMNode* element, size_t* budget, std::wstring* out) {
    std::u16string text;
    const DOMNode* node = element->getFirstChild();
    while (node != nullptr) {
        const short type = node->getNodeType();
        if (type == DOMNode::TEXT_NODE || type == DOMNode::CDATA_SECTION_NODE) {
            const XMLSize_t length = XMLString::stringLen(node->getNodeValue());
            if (length > *budget) return false;
            *budget -= length;
            text.append(node->getNodeValue(), length);
        }
        const bool descend =
            (type == DOMNode::ELEMENT_NODE || type == DOMNode::ENTITY_REFERENCE_NODE) &&
            node->getFirstChild() != nullptr;
        if (descend) {
            node = node->getFirstChild();
            continue;
        }
        while (node != element && node->getNextSibling() == nullptr) node = node->getParentNode();
        node = node == element ? nullptr : node->getNextSibling();
    }
    *out = corvexa::lang::ToWide(text.c_str());
    return true;
}

}  // namespace

int CLanguage::LoadResStringFromXML(const std::wstring& path) {
    using corvexa::lang::FileReadReason;
    using corvexa::lang::ReportSkippedPack;
    using corvexa::lang::sys::FileRead;
    corvexa::lang::XercesSession session;
    if (!session.ok()) return -1;

    // Both forms are read into memory after their size was checked, so
    // nothing but a regular file of sane size is ever read; the XML library
    // is given the path only when there is no file, to report that.
    const bool plain = path.find(L".xml") != std::wstring::npos;
    std::vector<uint8_t> file;
    const FileRead read =
        corvexa::lang::sys::ReadWholeFile(path, corvexa::lang::kMaxPackBytes, &file);
    std::unique_ptr<uint8_t, ByteArrayDeleter> unpacked;
    std::unique_ptr<MemBufInputSource> memSource;
    const std::u16string systemId = corvexa::lang::ToXml(path);
    if (read == FileRead::kMissing && !plain) return -1;
    if (read != FileRead::kOk && read != FileRead::kMissing) {
        ReportSkippedPack(path, FileReadReason(read));
        return -1;
    }
    if (read == FileRead::kOk && plain) {
        memSource =
            std::make_unique<MemBufInputSource>(file.data(), file.size(), systemId.c_str(), false);
    } else if (read == FileRead::kOk) {
        uint8_t* out = nullptr;
        uint32_t outLen = 0;
        const int rc =
            CMyLzmaPack::UnCompress(&out, &outLen, file.data(), static_cast<uint32_t>(file.size()));
        unpacked.reset(out);  // ours whatever the outcome
        if (rc != 0) return -1;
        memSource = std::make_unique<MemBufInputSource>(unpacked.get(), outLen, "LangInfo", false);
    }

    // Declared after the session and the buffers: destroyed before them.
    HandlerBase errorHandler;
    corvexa::lang::PackParser parser;
    parser.setErrorHandler(&errorHandler);

    try {
        if (memSource) {
            parser.parse(*memSource);
        } else {
            // A plain pack that is not there: the library reports it as the
            // failure to open the document.
            parser.parse(systemId.c_str());
        }
    } catch (const corvexa::lang::PackRefused& refused) {
        ReportSkippedPack(path, refused.reason);
        return -1;
    } catch (const XMLException& e) {
        corvexa::lang::PrintXercesMessage(e.getMessage());
        return -1;
    } catch (const DOMException& e) {
        corvexa::lang::PrintXercesMessage(e.getMessage());
        return -1;
    } catch (...) {
        std::fputs("Unexpected Exception \n", stdout);
        std::fflush(stdout);
        return -1;
    }

    const DOMDocument* doc = parser.getDocument();
    if (doc == nullptr) return -1;
    const DOMElement* root = doc->getDocumentElement();
    if (root == nullptr) return -1;

    // The groups are built aside and handed over only when the whole pack
    // was read, so a refused pack adds nothing.
    auto before = std::move(m_mapGroups);
    m_mapGroups.clear();
    m_textLeft = corvexa::lang::kMaxPackText;
    // Exact tag name, any depth, the root itself excluded, document order.
    // The list walks the tree lazily: its length is a full walk, and asking
    // for it between items restarts the walk, so take it once.
    DOMNodeList* groups = root->getElementsByTagName(u"Group");
    const XMLSize_t count = groups->getLength();
    bool refused = false;
    for (XMLSize_t i = 0; i < count && !refused; ++i) {
        refused = AddProjNode(static_cast<const DOMElement*>(groups->item(i))) != 0;
    }
    auto loaded = std::move(m_mapGroups);
    m_mapGroups = std::move(before);
    if (refused) {
        ReportSkippedPack(path, "too much text");
        return -1;
    }
    for (auto& [name, texts] : loaded) m_mapGroups[name] = std::move(texts);
    return 0;
}

int CLanguage::AddProjNode(const DOMElement* element) {
    if (element == nullptr) return -1;
    if (NameEqualsNoCase(element->getNodeName(), u"Group")) {
        const std::wstring name = GetXMLNodeAttrValue(element, L"name");
        if (!name.empty()) {
            auto texts = std::make_unique<TextMap>(kBuckets);
            if (AddStringNode(element, texts.get()) != 0) return -1;
            // A later group of the same name replaces the earlier one whole.
            m_mapGroups[name] = std::move(texts);
        }
    }
    return 0;
}

int CLanguage::AddStringNode(const DOMElement* element, TextMap* texts) {
    if (element == nullptr) return -1;
    const DOMNodeList* children = element->getChildNodes();
    if (children == nullptr) return -1;
    // Siblings are followed directly: indexing the child list is linear.
    for (const DOMNode* child = element->getFirstChild(); child != nullptr;
         child = child->getNextSibling()) {
        if (child->getNodeType() != DOMNode::ELEMENT_NODE ||
            !NameEqualsNoCase(child->getNodeName(), u"IDS"))
            continue;
        const int id =
            ParseTextId(GetXMLNodeAttrValue(static_cast<const DOMElement*>(child), L"id"));
        if (id == 0) continue;
        std::wstring text;
        if (!GatherText(child, &m_textLeft, &text)) return -1;
        (*texts)[id] = std::move(text);
    }
    return 0;
}

std::wstring CLanguage::GetXMLNodeAttrValue(const DOMElement* element, const std::wstring& name) {
    return CPackXMLFile::GetXMLNodeAttrValue(element, name);
}
