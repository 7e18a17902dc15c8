// Values of the wizard's ini files: the text escapes, the printf-like
// filling of translated texts, the control rectangles and the window size,
// and the typed address and name checks.
#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "fuzz/FuzzCheck.h"
#include "wizard/WizardLogic.h"

using namespace kestane;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const std::string text(reinterpret_cast<const char*>(data), size);

    // Every escape is shorter than what it stands for.
    FUZZ_CHECK(ApplyEscapes(text).size() <= text.size());
    FUZZ_CHECK(ApplyControlEscapes(text).size() <= text.size());
    FUZZ_CHECK(ReplaceAll(text, "%", "%%").size() >= text.size());

    // A translated text takes only the arguments there are, each at most once per "%s".
    const std::vector<std::string> args{"first", "2"};
    size_t slots = 0;
    for (size_t i = 0; i + 1 < text.size(); ++i)
        if (text[i] == '%' && (text[i + 1] == 's' || text[i + 1] == 'd')) ++slots;
    const std::string filled = FillFormat(text, args);
    FUZZ_CHECK(filled.size() <= text.size() + slots * 5);
    FUZZ_CHECK(FillFormat(text, {}).size() <= text.size());

    // Rectangles: what parses prints back to itself.
    if (const auto quad = ParseQuad(text)) {
        const std::string printed = "(" + std::to_string(quad->a) + "," + std::to_string(quad->b) + "),(" +
                                    std::to_string(quad->c) + "," + std::to_string(quad->d) + ")";
        const auto again = ParseQuad(printed);
        FUZZ_CHECK(again && again->a == quad->a && again->b == quad->b && again->c == quad->c && again->d == quad->d);
        FUZZ_CHECK(again->complete);
    }
    if (const auto rect = ParseControlRect(text)) {
        FUZZ_CHECK(rect->width > 0 && rect->height > 0 && rect->x != 0 && rect->y != 0);
    }
    if (const auto window = WindowSizeFromText(text)) { FUZZ_CHECK(window->width > 0 && window->height > 0); }

    // Typed values.
    const Octets octets = OctetsFromText(text);
    FUZZ_CHECK(DottedText(octets).size() <= 15);
    FUZZ_CHECK(FromHost(ToHost(octets)) == octets);
    (void)ValidateAddress(octets, OctetsFromText(text.substr(text.size() / 2)), octets, octets);
    const char* nameKey = CheckServerName(text);
    if (!nameKey) FUZZ_CHECK(text.size() >= 4 && text.size() <= 15);
    (void)PasswordMessageKey(CheckNewPassword(text, text.substr(0, text.size() / 2)));
    for (const std::string& candidate : LanguageCandidates(text))
        FUZZ_CHECK(!candidate.empty() && candidate.size() <= text.size());
    return 0;
}
