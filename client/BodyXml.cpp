#include "client/BodyXml.h"

namespace client {

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

}  // namespace client
