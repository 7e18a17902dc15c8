#include "StatusDocument.h"

#include <windows.h>
#include <msxml.h>

#include "client/CSConvertor.h"
#include "client/ReplyCode.h"
#include "common/Handle.h"

namespace client {

namespace {

// DOMDocument and IXMLDOMDocument of MSXML 2+; the mingw headers tie the
// CLSID_DOMDocument name to a different class, so the GUIDs are spelled out.
const CLSID kClsidDomDocument = {0x2933BF90, 0x7B36, 0x11D2, {0xB2, 0x0E, 0x00, 0xC0, 0x4F, 0x98, 0x3E, 0x60}};
const IID kIidXmlDomDocument = {0x2933BF81, 0x7B36, 0x11D2, {0xB2, 0x0E, 0x00, 0xC0, 0x4F, 0x98, 0x3E, 0x60}};

std::string BstrToAnsi(BSTR text) {
    return CCSConvertor::FromWide(text, text ? ::SysStringLen(text) : 0, CP_ACP);
}

// A DOM document created and loaded from ANSI text; empty on any failure.
win::ComPtr<IXMLDOMDocument> LoadDocument(const std::string& ansiXml) {
    win::ComPtr<IXMLDOMDocument> document;
    if (FAILED(::CoCreateInstance(kClsidDomDocument, nullptr, CLSCTX_INPROC_SERVER, kIidXmlDomDocument,
                                  reinterpret_cast<void**>(document.Receive()))) ||
        !document)
        return {};
    std::wstring wide = CCSConvertor::ToWide(ansiXml, CP_ACP);
    win::Bstr source(wide.c_str());
    VARIANT_BOOL loaded = VARIANT_FALSE;
    if (!source.Get() || document->loadXML(source.Get(), &loaded) != S_OK || loaded != VARIANT_TRUE) return {};
    return document;
}

// The node at `path` below `parent`; empty when there is none.
win::ComPtr<IXMLDOMNode> Select(IXMLDOMNode* parent, const std::wstring& path) {
    win::ComPtr<IXMLDOMNode> node;
    win::Bstr query(path.c_str());
    if (!query.Get() || parent->selectSingleNode(query.Get(), node.Receive()) != S_OK) node.Reset();
    return node;
}

bool NodeText(IXMLDOMNode* node, std::string& text) {
    win::Bstr value;
    if (FAILED(node->get_text(value.Receive()))) return false;
    text = BstrToAnsi(value.Get());
    return true;
}

// Text of the child at `path`; false when it is missing.
bool ChildText(IXMLDOMNode* parent, const wchar_t* path, std::string& text) {
    win::ComPtr<IXMLDOMNode> node = Select(parent, path);
    return node && NodeText(node.Get(), text);
}

bool ReadEnable(IXMLDOMNode* root, const wchar_t* path, int& enabled) {
    std::string text;
    if (!ChildText(root, path, text)) return false;
    // Only a leading "1" switches a service on; "true" does not.
    enabled = !text.empty() && text[0] == '1' ? 1 : 0;
    return true;
}

bool ReadBtItem(IXMLDOMNode* item, BTItem& bt) {
    std::string priority;
    if (!ChildText(item, L"BTName", bt.name) || !ChildText(item, L"BTContents", bt.contents) ||
        !ChildText(item, L"BTRemainingTime", bt.remainingTime) || !ChildText(item, L"BTTotalSize", bt.totalSize) ||
        !ChildText(item, L"BTSchedule", bt.schedule) || !ChildText(item, L"BTThroughput", bt.throughput) ||
        !ChildText(item, L"BTStatus", bt.status) || !ChildText(item, L"BTPriority", priority) ||
        !ChildText(item, L"BTItemId", bt.itemId))
        return false;
    bt.priority = ReadDecimal(priority);
    return true;
}

bool ReadWebFtpItem(IXMLDOMNode* item, WebFTPItem& web) {
    return ChildText(item, L"WebFTPFileName", web.fileName) && ChildText(item, L"WebFTPSize", web.size) &&
           ChildText(item, L"WebFTPLoadSize", web.loadedSize) && ChildText(item, L"WebFTPStatus", web.status) &&
           ChildText(item, L"WebFTPSavePath", web.savePath) && ChildText(item, L"WebFTPURL", web.url);
}

// Reads "<prefix>Count" items named "<prefix>1" ... into `items`, keeping those
// read before a missing one.
template <typename Item, typename ReadItem>
bool ReadItems(IXMLDOMNode* root, const std::wstring& countPath, const std::wstring& itemPrefix,
               std::vector<Item>& items, ReadItem readItem) {
    std::string countText;
    if (!ChildText(root, countPath.c_str(), countText)) return false;
    const int count = ReadDecimal(countText);
    for (long long i = 1; i <= count; ++i) {
        win::ComPtr<IXMLDOMNode> element = Select(root, itemPrefix + std::to_wstring(i));
        if (!element) return false;
        Item item;
        if (!readItem(element.Get(), item)) return false;
        items.push_back(std::move(item));
    }
    return true;
}

bool ParseStatusRoot(IXMLDOMDocument* document, ServerStatus& status) {
    // The root must be the very first node: a declaration or comment before it
    // makes the document unreadable for us.
    win::ComPtr<IXMLDOMNode> root;
    if (document->get_firstChild(root.Receive()) != S_OK || !root) return false;
    win::Bstr name;
    if (FAILED(root->get_nodeName(name.Receive())) || !name.Get() || std::wstring(name.Get()) != L"Quarrow")
        return false;

    win::ComPtr<IXMLDOMElement> element;
    if (FAILED(root->QueryInterface(IID_IXMLDOMElement, reinterpret_cast<void**>(element.Receive()))) || !element)
        return false;
    win::Bstr attribute(L"version");
    VARIANT version;
    ::VariantInit(&version);
    HRESULT hr = element->getAttribute(attribute.Get(), &version);
    const bool hasVersion = hr == S_OK && version.vt == VT_BSTR;
    if (hasVersion) status.version = BstrToAnsi(version.bstrVal);
    ::VariantClear(&version);
    if (!hasVersion) return false;

    return ReadEnable(root.Get(), L"BTDownload/BTEnable", status.btEnabled) &&
           ReadEnable(root.Get(), L"WebFTPDownload/WebFTPEnable", status.webFtpEnabled) &&
           ReadItems(root.Get(), L"BTDownload/BTItemCount", L"BTDownload/BTItem", status.btItems, ReadBtItem) &&
           ReadItems(root.Get(), L"WebFTPDownload/WebFTPItemCount", L"WebFTPDownload/WebFTPItem",
                     status.webFtpItems, ReadWebFtpItem);
}

}  // namespace

bool CutBodyXml(const std::string& page, std::string& xml) {
    static const std::string kBody = "<body>";
    const size_t body = page.find(kBody);
    if (body == std::string::npos) return false;
    const size_t last = page.rfind('<');
    if (last == std::string::npos || last == 0) return false;
    const size_t cut = page.rfind('<', last - 1);
    if (cut == std::string::npos || cut < body + kBody.size()) return false;
    xml = page.substr(body + kBody.size(), cut - body - kBody.size());
    return true;
}

std::string ParseStatusDocument(const std::string& ansiXml, ServerStatus& status) {
    try {
        win::ComScope com;
        if (!com.Succeeded()) return kReplyPageError;
        win::ComPtr<IXMLDOMDocument> document = LoadDocument(ansiXml);
        if (!document) return kReplyPageError;
        return ParseStatusRoot(document.Get(), status) ? kReplySuccess : kReplyPageError;
    } catch (...) {
        return kReplyPageError;
    }
}

bool ParseDefaultPathDocument(const std::string& ansiXml, std::string& path) {
    try {
        win::ComScope com;
        if (!com.Succeeded()) return false;
        win::ComPtr<IXMLDOMDocument> document = LoadDocument(ansiXml);
        if (!document) return false;
        std::string text;
        if (!ChildText(document.Get(), L"DefaultPath", text)) return false;
        path = std::move(text);
        return true;
    } catch (...) {
        return false;
    }
}

}  // namespace client
