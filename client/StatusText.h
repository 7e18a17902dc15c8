// The status page's text work that needs no XML parser: the cut of the
// document out of the page the server wraps it in, and the numbers in the
// names of its job elements.
#pragma once
#include <string>
#include <string_view>

namespace client {

// Cuts the XML out of a page: from just after the first "<body>" up to the
// second-to-last "<" (the page ends with the body and html end tags). False
// when "<body>" or either "<" is missing or the cut lies before the end of
// "<body>".
bool CutBodyXml(const std::string& page, std::string& xml);

// The number N of an item name "<prefix>N" as the decimal form of N spells it
// (so "BTItem01" is no item); 0 for any other name.
long long ItemNumber(std::wstring_view name, std::wstring_view prefix);

}  // namespace client
