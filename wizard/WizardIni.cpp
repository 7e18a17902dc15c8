// The one ini reading that needs the platform: the private profile call.
#include "wizard/WizardLogic.h"

#include <windows.h>

namespace kestane {

std::string ReadIniText(const std::string& file, const char* section, const char* key, const char* fallback) {
    char buffer[kIniBufferSize] = {};
    ::GetPrivateProfileStringA(section, key, fallback ? fallback : "", buffer, sizeof buffer, file.c_str());
    buffer[kIniBufferSize - 1] = '\0';
    return ApplyEscapes(buffer);
}

}  // namespace kestane
