// The pack reader steps of CLanguage: one XML document (plain, or unpacked
// from a .lang container) into the group map.

#include <xercesc/dom/DOM.hpp>
#include <xercesc/framework/MemBufInputSource.hpp>
#include <xercesc/parsers/XercesDOMParser.hpp>
#include <xercesc/sax/HandlerBase.hpp>
#include <xercesc/util/SecurityManager.hpp>

#include <climits>
#include <cstdio>
#include <cwctype>
#include <memory>
#include <vector>

#include "lang/clanguage.h"
#include "lang/mylzmapack.h"
#include "lang/packxmlfile.h"
#include "lang/platform.h"
#include "lang/xerces_util.h"

using namespace xercesc;

namespace {

constexpr size_t kBuckets = 257;

// A pack is a local data file, but a broken or hostile one must not make
// the program fetch other files or expand entities without end.
constexpr XMLSize_t kEntityExpansionLimit = 10000;

bool NameEqualsNoCase(const XMLCh* name, const char16_t* expected) {
  if (name == nullptr) return false;
  size_t i = 0;
  for (; expected[i] != 0; ++i) {
    if (name[i] == 0 || std::towlower(name[i]) != std::towlower(expected[i]))
      return false;
  }
  return name[i] == 0;
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

}  // namespace

int CLanguage::LoadResStringFromXML(const std::wstring& path) {
  corvexa::lang::XercesSession session;
  if (!session.ok()) return -1;

  std::unique_ptr<uint8_t, ByteArrayDeleter> unpacked;
  std::unique_ptr<MemBufInputSource> memSource;
  if (path.find(L".xml") == std::wstring::npos) {
    std::vector<uint8_t> container;
    if (!corvexa::lang::sys::ReadWholeFile(path, &container) ||
        container.size() > UINT32_MAX)
      return -1;
    uint8_t* out = nullptr;
    uint32_t outLen = 0;
    const int rc = CMyLzmaPack::UnCompress(
        &out, &outLen, container.data(), static_cast<uint32_t>(container.size()));
    unpacked.reset(out);  // ours whatever the outcome
    if (rc != 0) return -1;
    memSource = std::make_unique<MemBufInputSource>(
        unpacked.get(), outLen, "LangInfo", false);
  }

  // Declared after the session and the buffer: destroyed before both.
  SecurityManager security;
  security.setEntityExpansionLimit(kEntityExpansionLimit);
  HandlerBase errorHandler;
  XercesDOMParser parser;
  parser.setValidationScheme(XercesDOMParser::Val_Always);
  parser.setDoNamespaces(true);
  parser.setErrorHandler(&errorHandler);
  parser.setSecurityManager(&security);
  parser.setDisableDefaultEntityResolution(true);

  try {
    if (memSource) {
      parser.parse(*memSource);
    } else {
      const std::u16string systemId = corvexa::lang::ToXml(path);
      parser.parse(systemId.c_str());
    }
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

  // Exact tag name, any depth, the root itself excluded, document order.
  // The list walks the tree lazily: its length is a full walk, and asking
  // for it between items restarts the walk, so take it once.
  DOMNodeList* groups = root->getElementsByTagName(u"Group");
  const XMLSize_t count = groups->getLength();
  for (XMLSize_t i = 0; i < count; ++i) {
    AddProjNode(static_cast<const DOMElement*>(groups->item(i)));
  }
  return 0;
}

int CLanguage::AddProjNode(const DOMElement* element) {
  if (element == nullptr) return -1;
  if (NameEqualsNoCase(element->getNodeName(), u"Group")) {
    const std::wstring name = GetXMLNodeAttrValue(element, L"name");
    if (!name.empty()) {
      auto texts = std::make_unique<TextMap>(kBuckets);
      AddStringNode(element, texts.get());
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
    const int id = ParseTextId(
        GetXMLNodeAttrValue(static_cast<const DOMElement*>(child), L"id"));
    if (id == 0) continue;
    (*texts)[id] = corvexa::lang::ToWide(child->getTextContent());
  }
  return 0;
}

std::wstring CLanguage::GetXMLNodeAttrValue(const DOMElement* element,
                                            const std::wstring& name) {
  return CPackXMLFile::GetXMLNodeAttrValue(element, name);
}
