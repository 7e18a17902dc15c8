// The wizard's rules, free of windows: ini text escapes and reading, layout
// rectangles and the window size, the language folder, input checks, the
// time zone and day lists, the disk decision and every text the pages build
// from the ini files. The dialog only moves data between these and controls.
#pragma once
#include <array>
#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace kestane {

// --- ini texts ---------------------------------------------------------------

// Values are read into a buffer of this size, so at most 511 characters of a
// value survive.
constexpr size_t kIniBufferSize = 512;

// "%0A" becomes a line break, "%20" two spaces, "%25" "%", in that order.
std::string ApplyEscapes(std::string text);
// A second pass of "%0A" and "%25" only, as control texts get when a page shows.
std::string ApplyControlEscapes(std::string text);
// Replaces every occurrence of `from` by `to`, left to right.
std::string ReplaceAll(std::string text, std::string_view from, std::string_view to);

// One value of a private profile file with the escapes applied; `fallback`
// (escapes applied too) when the key or file is missing.
std::string ReadIniText(const std::string& file, const char* section, const char* key, const char* fallback);

// Where texts come from: (key, fallback) -> text. The dialog hands in ini
// readers; tests hand in tables.
using TextSource = std::function<std::string(const char* key, const char* fallback)>;

// printf-like filling of a text that comes from a file: each "%s" or "%d"
// takes the next argument (an empty text when they run out), "%%" is a
// percent sign, and anything else after a "%" is kept as it stands. A
// translator's stray "%n" or "%s" too many can therefore never read memory.
std::string FillFormat(std::string_view format, const std::vector<std::string>& args);

// --- layout ------------------------------------------------------------------

struct Quad {
    int a = 0, b = 0, c = 0, d = 0;
    bool complete = false;  // all four numbers were present
};
// Reads "(a,b),(c,d)"; blanks are allowed around numbers. Numbers that are
// missing read as 0 (complete = false); nullopt when the text is no such form.
std::optional<Quad> ParseQuad(std::string_view text);

struct ControlRect {
    int x = 0, y = 0, width = 0, height = 0;
};
// A control rectangle: all four numbers present and non-zero, and a size
// that is positive.
std::optional<ControlRect> ParseControlRect(std::string_view text);

// The window size rule: a value with a zero or missing number resizes the
// window to c x d; a value with four non-zero numbers keeps the template's
// size (nullopt). A size that is not positive falls back to 600 x 350 so a
// broken file never leaves a window one cannot see.
struct WindowSize {
    int width = 0, height = 0;
};
std::optional<WindowSize> WindowSizeFromText(std::string_view text);

// --- language folder ------------------------------------------------------------

// The candidates tried for a locale's abbreviated language name, in order:
// "enu", "en", "Enu", "En" for "ENU".
std::vector<std::string> LanguageCandidates(std::string_view abbreviation);
// The first candidate for `abbreviation`, then for "en", for which `accept`
// says yes (both ini files exist in that folder).
std::optional<std::string> ChooseLanguageFolder(std::string_view abbreviation,
                                                const std::function<bool(const std::string&)>& accept);

// --- input checks ------------------------------------------------------------------

using Octets = std::array<uint8_t, 4>;

uint32_t ToHost(const Octets& o);
Octets FromHost(uint32_t v);
std::string DottedText(const Octets& o);  // "%d.%d.%d.%d"
// "a.b.c.d" with each part through atoi, as the address page stores them.
Octets OctetsFromText(const std::string& text);

enum class AddressBox { Ip, Mask, Gateway, Dns };
struct AddressError {
    const char* key;                  // "MESSAGE" key
    std::vector<AddressBox> restore;  // boxes set back to their last accepted text
    AddressBox focus;
};
// The address page rules in their order; nullopt when all pass. A zero
// gateway or DNS server means none.
std::optional<AddressError> ValidateAddress(const Octets& ip, const Octets& mask, const Octets& gateway,
                                            const Octets& dns);
bool IsContiguousMask(uint32_t mask);  // 1 to 31 leading one bits

// Server name: 4 to 15 of A-Z, a-z, 0-9 and "_"; nullptr or the message key.
const char* CheckServerName(std::string_view name);

enum class PasswordCheck { Ok, Mismatch, Invalid, Empty };
// New password and confirmation: "Confirm_Pwd", "Invid_Pwd", then "Clear_Pwd"
// (a notice only: the wizard goes on).
PasswordCheck CheckNewPassword(std::string_view password, std::string_view confirmation);
const char* PasswordMessageKey(PasswordCheck check);

// --- time page ----------------------------------------------------------------------

// The time zone list entry for a bias in minutes (UTC = local time + bias).
int TimeZoneEntryForBias(long biasMinutes);
// Days offered for a month (1-based): 31, 30 or 29; 28 for anything else.
int DaysInMonthList(int month);

// --- disks ----------------------------------------------------------------------------

struct DiskState {
    uint8_t raidFound = 0;
    uint8_t p1 = 0, r1 = 0, p2 = 0, r2 = 0;
};
enum class DiskDecision { Ready, Format, NoDisk, Undecided };
DiskDecision DecideDisks(const DiskState& s);
enum class DisksToFormat { None, Disk1, Disk2, Both };
DisksToFormat FormattedDisks(const DiskState& s);
// A present disk that is not ready: the confirmation asks before erasing.
bool AnyDiskToErase(const DiskState& s);

struct FormatTexts {
    std::string what;      // RAID note and the disks, control 1012
    std::string erased;    // the red warning, control 1069
    std::string decision;  // continue or exit, control 1071
};
// `message` reads the "MESSAGE" section of string.ini.
FormatTexts BuildFormatTexts(const DiskState& s, const TextSource& message);

// The detail line of a failure report's sub-code (empty for an unknown one).
std::string FailureDetail(int32_t subCode, const TextSource& message);
// Failure page text for a failure report: detail, line break, "Not_Complete".
std::string FailureText(int32_t subCode, const TextSource& message);

// --- confirmation ----------------------------------------------------------------------

struct Summary {
    DiskState disks;
    std::string password;
    bool autoAddress = false;
    std::string ip, mask, gateway, dns;
    std::string name;
    bool bt = true, itunes = true, media = true;
    bool timeSync = true;
    std::string timeZone;
    bool daylight = false;
    std::string startMonth, endMonth;
    int startDay = 1, endDay = 1;
};
// `control` reads "Control_String" of Config.ini (escapes applied).
std::string BuildSummary(const Summary& s, const TextSource& control);

// --- free address ---------------------------------------------------------------------

constexpr const char* kNoAddress = "000.000.000.000";
// What a ping of one candidate says about it.
enum class Probe { Taken, Free, Unknown };
struct SearchResult {
    std::string proposal;       // dotted, or kNoAddress
    bool nothingFound = false;  // every candidate is taken (or there is none)
    bool unchecked = false;     // no candidate could be pinged at all
};
// From two below the broadcast address downwards, the first address nobody
// answers. `timedOut` is asked before the search and before every further
// candidate: once it says yes the search gives up with kNoAddress, so that a
// huge subnet cannot keep the user waiting for ever. A candidate that cannot
// be pinged ends the search with kNoAddress too: silence that was never
// listened for is no sign of a free address.
SearchResult SearchFreeAddress(const Octets& pcIp, const Octets& pcMask, const std::function<bool()>& timedOut,
                               const std::function<Probe(const std::string&)>& ping);
// The server keeps its address when it lies in the PC's subnet and the state
// reply does not ask for a new one.
bool KeepsServerAddress(const Octets& server, uint8_t addressFlag, const Octets& pcIp, const Octets& pcMask);

}  // namespace kestane
