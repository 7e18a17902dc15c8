#include "StatusDocument.h"

#include <windows.h>
#include <msxml2.h>

#include <optional>
#include <unordered_map>

#include "client/CSConvertor.h"
#include "client/ReplyCode.h"

namespace client {

namespace {

// DOMDocument and IXMLDOMDocument2 of MSXML 2+; the mingw headers tie the
// CLSID_DOMDocument name to a different class, so the GUIDs are spelled out.
const CLSID kClsidDomDocument = {0x2933BF90, 0x7B36, 0x11D2, {0xB2, 0x0E, 0x00, 0xC0, 0x4F, 0x98, 0x3E, 0x60}};
const IID kIidXmlDomDocument2 = {0x2933BF95, 0x7B36, 0x11D2, {0xB2, 0x0E, 0x00, 0xC0, 0x4F, 0x98, 0x3E, 0x60}};

std::string BstrToAnsi(BSTR text) { return CCSConvertor::FromWide(text, text ? ::SysStringLen(text) : 0, CP_ACP); }

// A document created, made safe and loaded from ANSI text; empty on any failure.
win::ComPtr<IXMLDOMDocument2> LoadDocument(const std::string& ansiXml) {
    win::ComPtr<IXMLDOMDocument2> document = NewServerXmlDocument();
    if (!document) return {};
    std::wstring wide = CCSConvertor::ToWide(ansiXml, CP_ACP);
    win::Bstr source(wide.c_str());
    VARIANT_BOOL loaded = VARIANT_FALSE;
    if (!source.Get() || document->loadXML(source.Get(), &loaded) != S_OK || loaded != VARIANT_TRUE) return {};
    // Neither document ever has a DTD. Where the parser ignores the setting
    // that forbids one, the document is refused here all the same.
    win::ComPtr<IXMLDOMDocumentType> doctype;
    if (FAILED(document->get_doctype(doctype.Receive())) || doctype) return {};
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

// Holds on to a node handed to a visitor below.
void Keep(win::ComPtr<IXMLDOMNode>& slot, IXMLDOMNode* node) {
    node->AddRef();
    *slot.Receive() = node;
}

// Calls visit(name, node) for every element child of `parent` in document
// order; false when the walk itself fails.
template <typename Visit>
bool ForEachElement(IXMLDOMNode* parent, Visit&& visit) {
    win::ComPtr<IXMLDOMNode> child;
    if (FAILED(parent->get_firstChild(child.Receive()))) return false;
    while (child) {
        DOMNodeType type = NODE_INVALID;
        if (FAILED(child->get_nodeType(&type))) return false;
        if (type == NODE_ELEMENT) {
            win::Bstr name;
            if (FAILED(child->get_nodeName(name.Receive()))) return false;
            const BSTR text = name.Get();
            visit(std::wstring_view(text ? text : L"", text ? ::SysStringLen(text) : 0), child.Get());
        }
        IXMLDOMNode* next = nullptr;
        if (FAILED(child->get_nextSibling(&next))) return false;
        *child.Receive() = next;
    }
    return true;
}

// A job's fields in one walk over its children: the first element of each name.
// False when one is missing.
struct Field {
    const wchar_t* name;
    std::string* text;
};
template <size_t N>
bool ReadFields(IXMLDOMNode* item, const Field (&fields)[N]) {
    win::ComPtr<IXMLDOMNode> found[N];
    if (!ForEachElement(item, [&](std::wstring_view name, IXMLDOMNode* node) {
            for (size_t i = 0; i < N; ++i)
                if (!found[i] && name == fields[i].name) {
                    Keep(found[i], node);
                    return;
                }
        }))
        return false;
    for (size_t i = 0; i < N; ++i)
        if (!found[i] || !NodeText(found[i].Get(), *fields[i].text)) return false;
    return true;
}

bool ReadBtItem(IXMLDOMNode* item, BTItem& bt) {
    std::string priority;
    const Field fields[] = {
        {L"BTName", &bt.name},           {L"BTContents", &bt.contents}, {L"BTRemainingTime", &bt.remainingTime},
        {L"BTTotalSize", &bt.totalSize}, {L"BTSchedule", &bt.schedule}, {L"BTThroughput", &bt.throughput},
        {L"BTStatus", &bt.status},       {L"BTPriority", &priority},    {L"BTItemId", &bt.itemId}};
    if (!ReadFields(item, fields)) return false;
    bt.priority = ReadDecimal(priority);
    return true;
}

bool ReadWebFtpItem(IXMLDOMNode* item, WebFTPItem& web) {
    const Field fields[] = {{L"WebFTPFileName", &web.fileName},   {L"WebFTPSize", &web.size},
                            {L"WebFTPLoadSize", &web.loadedSize}, {L"WebFTPStatus", &web.status},
                            {L"WebFTPSavePath", &web.savePath},   {L"WebFTPURL", &web.url}};
    return ReadFields(item, fields);
}

// One service's part of the document ("BTDownload" with its switch, count and
// jobs), gathered in a single walk: for each name the first element of that
// name among the children of every section element, in document order. Jobs
// are read as the walk meets them, so no element is held on to.
template <typename Item>
struct Section {
    win::ComPtr<IXMLDOMNode> enable, count;
    std::unordered_map<long long, std::optional<Item>> items;  // empty: the job could not be read

    template <typename ReadItem>
    bool Gather(IXMLDOMNode* root, std::wstring_view sectionName, std::wstring_view enableName,
                std::wstring_view countName, std::wstring_view itemPrefix, ReadItem readItem) {
        bool walked = true;
        return ForEachElement(root,
                              [&](std::wstring_view name, IXMLDOMNode* section) {
                                  if (name != sectionName || !walked) return;
                                  walked = ForEachElement(section, [&](std::wstring_view child, IXMLDOMNode* node) {
                                      if (child == enableName) {
                                          if (!enable) Keep(enable, node);
                                      } else if (child == countName) {
                                          if (!count) Keep(count, node);
                                      } else if (long long number = ItemNumber(child, itemPrefix)) {
                                          auto [slot, added] = items.try_emplace(number);
                                          Item item;
                                          if (added && readItem(node, item)) slot->second = std::move(item);
                                      }
                                  });
                              }) &&
               walked;
    }

    bool ReadEnable(int& enabled) const {
        std::string text;
        if (!enable || !NodeText(enable.Get(), text)) return false;
        // Only a leading "1" switches a service on; "true" does not.
        enabled = !text.empty() && text[0] == '1' ? 1 : 0;
        return true;
    }

    // Moves the jobs 1 ... count into `list`, keeping those before a missing
    // or unreadable one.
    bool TakeItems(std::vector<Item>& list) {
        std::string countText;
        if (!count || !NodeText(count.Get(), countText)) return false;
        const int total = ReadDecimal(countText);
        for (long long i = 1; i <= total; ++i) {
            auto item = items.find(i);
            if (item == items.end() || !item->second) return false;
            list.push_back(std::move(*item->second));
        }
        return true;
    }
};

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

    // A thousand jobs are a thousand children: looking each one up by name
    // would walk the list once per job.
    Section<BTItem> bt;
    Section<WebFTPItem> web;
    if (!bt.Gather(root.Get(), L"BTDownload", L"BTEnable", L"BTItemCount", L"BTItem", ReadBtItem) ||
        !web.Gather(root.Get(), L"WebFTPDownload", L"WebFTPEnable", L"WebFTPItemCount", L"WebFTPItem", ReadWebFtpItem))
        return false;
    return bt.ReadEnable(status.btEnabled) && web.ReadEnable(status.webFtpEnabled) && bt.TakeItems(status.btItems) &&
           web.TakeItems(status.webFtpItems);
}

}  // namespace

bool ApplyServerXmlSettings(IXMLDOMDocument2* document) {
    // A reply may declare entities that name local files or other hosts; its
    // text must never be read from anywhere but the reply itself.
    if (FAILED(document->put_resolveExternals(VARIANT_FALSE)) || FAILED(document->put_validateOnParse(VARIANT_FALSE)))
        return false;
    win::Bstr property(L"ProhibitDTD");
    VARIANT on;
    ::VariantInit(&on);
    on.vt = VT_BOOL;
    on.boolVal = VARIANT_TRUE;
    // Older parsers do not know the property; LoadDocument refuses a DTD anyway.
    if (property.Get()) document->setProperty(property.Get(), on);
    return true;
}

win::ComPtr<IXMLDOMDocument2> NewServerXmlDocument() {
    win::ComPtr<IXMLDOMDocument2> document;
    if (FAILED(::CoCreateInstance(kClsidDomDocument, nullptr, CLSCTX_INPROC_SERVER, kIidXmlDomDocument2,
                                  reinterpret_cast<void**>(document.Receive()))) ||
        !document || !ApplyServerXmlSettings(document.Get()))
        return {};
    return document;
}

std::string ParseStatusDocument(const std::string& ansiXml, ServerStatus& status) {
    try {
        win::ComScope com;
        if (!com.Succeeded()) return kReplyPageError;
        win::ComPtr<IXMLDOMDocument2> document = LoadDocument(ansiXml);
        if (!document) return kReplyPageError;
        return ParseStatusRoot(document.Get(), status) ? kReplySuccess : kReplyPageError;
    } catch (...) { return kReplyPageError; }
}

bool ParseDefaultPathDocument(const std::string& ansiXml, std::string& path) {
    try {
        win::ComScope com;
        if (!com.Succeeded()) return false;
        win::ComPtr<IXMLDOMDocument2> document = LoadDocument(ansiXml);
        if (!document) return false;
        std::string text;
        if (!ChildText(document.Get(), L"DefaultPath", text)) return false;
        path = std::move(text);
        return true;
    } catch (...) { return false; }
}

}  // namespace client
