// The shell registration written by "/r" and removed by "/u".
#pragma once
#include <string>

namespace app {

inline constexpr char kBrevletClsid[] = "{B7C86DB5-F0F7-45E1-88CB-3A92CD81F0A3}";

// `modulePath` is the program's full path; `menuName` the text of the browser menu entry.
void RegisterShell(const std::string& modulePath, const std::string& menuName);
void UnregisterShell(const std::string& menuName);

}  // namespace app
