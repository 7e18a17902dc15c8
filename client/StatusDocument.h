// XML documents the server embeds in its pages: the status document and the
// default-path answer, both read with the platform's XML DOM.
#pragma once
#include <string>

#include "client/StatusText.h"
#include "client/StatusTypes.h"
#include "common/Handle.h"

struct IXMLDOMDocument2;

namespace client {

// A new, empty DOM document for text from the server: external entities are
// not resolved, documents with a DTD are refused and nothing is validated.
// Empty when the platform has no DOM or refuses one of those settings.
win::ComPtr<IXMLDOMDocument2> NewServerXmlDocument();

// Applies those settings to a document before it is loaded; false when the
// document would not take them.
bool ApplyServerXmlSettings(IXMLDOMDocument2* document);

// Parses the status document (ANSI text) into `status`, appending the items it
// reads. Returns "Success" or "OTHERERR_PAGEERROR"; on failure the items read
// before it stay in `status`. Initialises COM on the calling thread for its duration.
std::string ParseStatusDocument(const std::string& ansiXml, ServerStatus& status);

// Reads the text of the top-level "DefaultPath" element of the ANSI XML into
// `path`; false (and `path` untouched) when the XML or the element is unusable.
bool ParseDefaultPathDocument(const std::string& ansiXml, std::string& path);

}  // namespace client
