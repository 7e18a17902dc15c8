// A model of the platform conversions behind fuzz/shim/windows.h, kept to
// what the encoders ask of them:
// - IsDBCSLeadByte: none in a single-byte ANSI page, 0x81 to 0xFE in a
//   double-byte one (as code page 936 has them);
// - WideCharToMultiByte: code page 65001 as UTF-8 (a lone surrogate becomes
//   U+FFFD; a default character is refused, as the platform refuses one for
//   UTF-8), code pages 0 and 1252 as a single-byte page holding U+0000 to
//   U+00FF (anything else becomes the default character, "?" unless one is
//   given); every other code page fails, as one the system lacks.
#include "windows.h"

#include <cstring>

namespace {
bool gDoubleByte = false;

int Put(char* out, int outSize, int& n, unsigned char byte) {
    if (outSize != 0) {
        if (n >= outSize) return -1;
        out[n] = static_cast<char>(byte);
    }
    ++n;
    return 0;
}
}  // namespace

namespace fuzzshim {
void SetDoubleByteAnsi(bool doubleByte) { gDoubleByte = doubleByte; }
}  // namespace fuzzshim

BOOL IsDBCSLeadByte(BYTE byte) { return gDoubleByte && byte >= 0x81 && byte <= 0xFE; }

int WideCharToMultiByte(UINT codePage, DWORD, const wchar_t* wide, int units, char* out, int outSize,
                        const char* defaultChar, BOOL* usedDefault) {
    if (!wide || units <= 0 || outSize < 0) return 0;
    int n = 0;
    if (usedDefault) *usedDefault = 0;
    if (codePage == 65001) {
        if (defaultChar || usedDefault) return 0;
        for (int i = 0; i < units; ++i) {
            uint32_t c = static_cast<uint32_t>(wide[i]) & 0xFFFF;
            if (IS_HIGH_SURROGATE(c) && i + 1 < units &&
                IS_LOW_SURROGATE(static_cast<uint32_t>(wide[i + 1]) & 0xFFFF)) {
                c = 0x10000 + ((c - 0xD800) << 10) + ((static_cast<uint32_t>(wide[i + 1]) & 0xFFFF) - 0xDC00);
                ++i;
            } else if (c >= 0xD800 && c <= 0xDFFF) {
                c = 0xFFFD;
            }
            int r = 0;
            if (c < 0x80) {
                r |= Put(out, outSize, n, static_cast<unsigned char>(c));
            } else if (c < 0x800) {
                r |= Put(out, outSize, n, static_cast<unsigned char>(0xC0 | (c >> 6)));
                r |= Put(out, outSize, n, static_cast<unsigned char>(0x80 | (c & 0x3F)));
            } else if (c < 0x10000) {
                r |= Put(out, outSize, n, static_cast<unsigned char>(0xE0 | (c >> 12)));
                r |= Put(out, outSize, n, static_cast<unsigned char>(0x80 | ((c >> 6) & 0x3F)));
                r |= Put(out, outSize, n, static_cast<unsigned char>(0x80 | (c & 0x3F)));
            } else {
                r |= Put(out, outSize, n, static_cast<unsigned char>(0xF0 | (c >> 18)));
                r |= Put(out, outSize, n, static_cast<unsigned char>(0x80 | ((c >> 12) & 0x3F)));
                r |= Put(out, outSize, n, static_cast<unsigned char>(0x80 | ((c >> 6) & 0x3F)));
                r |= Put(out, outSize, n, static_cast<unsigned char>(0x80 | (c & 0x3F)));
            }
            if (r) return 0;
        }
        return n;
    }
    if (codePage == 0 || codePage == 1252) {
        for (int i = 0; i < units; ++i) {
            const uint32_t c = static_cast<uint32_t>(wide[i]) & 0xFFFF;
            if (c <= 0xFF) {
                if (Put(out, outSize, n, static_cast<unsigned char>(c))) return 0;
                continue;
            }
            if (usedDefault) *usedDefault = 1;
            for (const char* d = defaultChar ? defaultChar : "?"; *d; ++d)
                if (Put(out, outSize, n, static_cast<unsigned char>(*d))) return 0;
        }
        return n;
    }
    return 0;
}
