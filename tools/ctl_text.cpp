#include "tools/ctl_text.h"

#include <vector>

namespace ctl {

std::string Text(UINT id, std::initializer_list<std::string> arguments) {
    // A zero-length buffer gets a pointer into the resource: the usage is
    // longer than any buffer worth keeping on the stack.
    const wchar_t* wide = nullptr;
    const int length = ::LoadStringW(::GetModuleHandleW(nullptr), id, reinterpret_cast<LPWSTR>(&wide), 0);
    if (length <= 0 || !wide) return {};
    const int size = ::WideCharToMultiByte(CP_ACP, 0, wide, length, nullptr, 0, nullptr, nullptr);
    std::string text(static_cast<size_t>(size), '\0');
    ::WideCharToMultiByte(CP_ACP, 0, wide, length, text.data(), size, nullptr, nullptr);

    // "%" is below every trail byte of the double-byte code pages, so a byte
    // walk finds only real ones.
    const std::vector<std::string> values(arguments);
    std::string out;
    for (size_t i = 0; i < text.size(); ++i) {
        const char next = i + 1 < text.size() ? text[i + 1] : '\0';
        if (text[i] == '%' && next >= '1' && next <= '9' && static_cast<size_t>(next - '1') < values.size()) {
            out += values[static_cast<size_t>(next - '1')];
            ++i;
        } else {
            out += text[i];
        }
    }
    return out;
}

}  // namespace ctl
