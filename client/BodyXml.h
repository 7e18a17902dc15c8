// The cut of the XML document out of the page the server wraps it in.
#pragma once
#include <string>

namespace client {

// Cuts the XML out of a page: from just after the first "<body>" up to the
// second-to-last "<" (the page ends with the body and html end tags). False
// when "<body>" or either "<" is missing or the cut lies before the end of
// "<body>".
bool CutBodyXml(const std::string& page, std::string& xml);

}  // namespace client
