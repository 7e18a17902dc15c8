// The status refresh's platform work, shared by the floors that do it: the page
// fetched through WinINet in 1000-byte reads with the Basic header from the
// start, the document between "<body>" and "</body>" loaded into MSXML and
// every job's every field read once, walking the children in order.
#pragma once
#include <msxml.h>

#include "FloorCommon.h"

namespace floors {

inline const CLSID kClsidDomDocument = {0x2933BF90, 0x7B36, 0x11D2, {0xB2, 0x0E, 0x00, 0xC0, 0x4F, 0x98, 0x3E, 0x60}};
inline const IID kIidXmlDomDocument = {0x2933BF81, 0x7B36, 0x11D2, {0xB2, 0x0E, 0x00, 0xC0, 0x4F, 0x98, 0x3E, 0x60}};

inline bool Fetch(HINTERNET connection, const std::string& auth, std::string& page) {
    HINTERNET request =
        ::HttpOpenRequestA(connection, "GET", "Quarrow.asp", "HTTP/1.0", nullptr, nullptr, INTERNET_FLAG_RELOAD, 1);
    if (!request) return false;
    bool ok = ::HttpSendRequestA(request, auth.c_str(), static_cast<DWORD>(auth.size()), nullptr, 0) != FALSE;
    while (ok) {
        char buffer[1000];
        DWORD got = 0;
        if (!::InternetReadFile(request, buffer, sizeof buffer, &got)) ok = false;
        if (!ok || got == 0) break;
        page.append(buffer, got);
    }
    ::InternetCloseHandle(request);
    return ok;
}

// Reads the text of every element below `node`, children in order; returns how many.
inline long Walk(IXMLDOMNode* node) {
    long count = 0;
    IXMLDOMNode* child = nullptr;
    node->get_firstChild(&child);
    while (child) {
        DOMNodeType type;
        child->get_nodeType(&type);
        if (type == NODE_ELEMENT) {
            IXMLDOMNode* inner = nullptr;
            child->get_firstChild(&inner);
            DOMNodeType innerType = NODE_INVALID;
            if (inner) inner->get_nodeType(&innerType);
            if (inner) inner->Release();
            if (innerType == NODE_ELEMENT) {
                count += Walk(child);
            } else {
                BSTR text = nullptr;
                child->get_text(&text);
                ::SysFreeString(text);
                ++count;
            }
        }
        IXMLDOMNode* next = nullptr;
        child->get_nextSibling(&next);
        child->Release();
        child = next;
    }
    return count;
}

inline long Parse(const std::string& page) {
    size_t begin = page.find("<body>"), end = page.rfind("</body>");
    if (begin == std::string::npos || end == std::string::npos || end < begin) return -1;
    begin += 6;
    int length = ::MultiByteToWideChar(CP_UTF8, 0, page.data() + begin, static_cast<int>(end - begin), nullptr, 0);
    BSTR xml = ::SysAllocStringLen(nullptr, length);
    ::MultiByteToWideChar(CP_UTF8, 0, page.data() + begin, static_cast<int>(end - begin), xml, length);
    IXMLDOMDocument* document = nullptr;
    long fields = -1;
    if (SUCCEEDED(::CoCreateInstance(kClsidDomDocument, nullptr, CLSCTX_INPROC_SERVER, kIidXmlDomDocument,
                                     reinterpret_cast<void**>(&document)))) {
        VARIANT_BOOL loaded = VARIANT_FALSE;
        if (document->loadXML(xml, &loaded) == S_OK && loaded == VARIANT_TRUE) fields = Walk(document);
        document->Release();
    }
    ::SysFreeString(xml);
    return fields;
}

}  // namespace floors
