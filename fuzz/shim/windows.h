// The few declarations of the Windows API that the encoders in
// client/CSEncode.cpp use, for building them natively under the fuzzer. The
// functions behind them live in fuzz/shim/platform.cpp and model the
// platform's conversions; the code under test is compiled unchanged.
#pragma once
#include <cstdint>

typedef unsigned int UINT;
typedef unsigned long DWORD;
typedef unsigned char BYTE;
typedef int BOOL;

#define CP_ACP 0
#define IS_HIGH_SURROGATE(w) ((w) >= 0xD800 && (w) <= 0xDBFF)
#define IS_LOW_SURROGATE(w) ((w) >= 0xDC00 && (w) <= 0xDFFF)

BOOL IsDBCSLeadByte(BYTE byte);
int WideCharToMultiByte(UINT codePage, DWORD flags, const wchar_t* wide, int units, char* out, int outSize,
                        const char* defaultChar, BOOL* usedDefault);

namespace fuzzshim {
// The ANSI code page the model stands for: false for a single-byte page
// (1252: no lead bytes), true for a double-byte page (936: lead bytes 0x81 to 0xFE).
void SetDoubleByteAnsi(bool doubleByte);
}  // namespace fuzzshim
