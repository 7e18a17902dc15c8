#include "wizard/WizardLogic.h"

#include <cctype>
#include <cstdlib>
#include <cstdio>

namespace kestane {

namespace {
constexpr const char* kLineBreak = "\r\n";
}

// --- ini texts ---------------------------------------------------------------

std::string ReplaceAll(std::string text, std::string_view from, std::string_view to) {
    if (from.empty()) return text;
    size_t pos = 0;
    while ((pos = text.find(from, pos)) != std::string::npos) {
        text.replace(pos, from.size(), to);
        pos += to.size();
    }
    return text;
}

std::string ApplyEscapes(std::string text) {
    text = ReplaceAll(std::move(text), "%0A", kLineBreak);
    text = ReplaceAll(std::move(text), "%20", "  ");
    return ReplaceAll(std::move(text), "%25", "%");
}

std::string ApplyControlEscapes(std::string text) {
    text = ReplaceAll(std::move(text), "%0A", kLineBreak);
    return ReplaceAll(std::move(text), "%25", "%");
}

std::string FillFormat(std::string_view format, const std::vector<std::string>& args) {
    std::string out;
    size_t next = 0;
    for (size_t i = 0; i < format.size(); ++i) {
        const char c = format[i];
        if (c != '%' || i + 1 == format.size()) {
            out += c;
            continue;
        }
        const char k = format[i + 1];
        if (k == 's' || k == 'd') {
            if (next < args.size()) out += args[next];
            ++next;
            ++i;
        } else if (k == '%') {
            out += '%';
            ++i;
        } else {
            out += c;
        }
    }
    return out;
}

// --- layout ------------------------------------------------------------------

std::optional<Quad> ParseQuad(std::string_view text) {
    size_t i = 0;
    auto skip = [&] {
        while (i < text.size() && (text[i] == ' ' || text[i] == '\t')) ++i;
    };
    auto expect = [&](char c) {
        skip();
        if (i < text.size() && text[i] == c) {
            ++i;
            return true;
        }
        return false;
    };
    bool complete = true;
    auto number = [&](int& out) {
        skip();
        size_t start = i;
        if (i < text.size() && (text[i] == '-' || text[i] == '+')) ++i;
        size_t digits = i;
        long long v = 0;
        while (i < text.size() && std::isdigit(static_cast<unsigned char>(text[i]))) {
            if (v < 100000000) v = v * 10 + (text[i] - '0');
            ++i;
        }
        if (i == digits) {
            i = start;
            out = 0;
            complete = false;
            return;
        }
        out = static_cast<int>(text[start] == '-' ? -v : v);
    };
    Quad q;
    if (!expect('(')) return std::nullopt;
    number(q.a);
    if (!expect(',')) return std::nullopt;
    number(q.b);
    if (!expect(')') || !expect(',') || !expect('(')) return std::nullopt;
    number(q.c);
    if (!expect(',')) return std::nullopt;
    number(q.d);
    if (!expect(')')) return std::nullopt;
    skip();
    if (i != text.size()) return std::nullopt;
    q.complete = complete;
    return q;
}

std::optional<ControlRect> ParseControlRect(std::string_view text) {
    const auto q = ParseQuad(text);
    if (!q || !q->complete || q->a == 0 || q->b == 0 || q->c <= 0 || q->d <= 0) return std::nullopt;
    return ControlRect{q->a, q->b, q->c, q->d};
}

std::optional<WindowSize> WindowSizeFromText(std::string_view text) {
    const auto q = ParseQuad(text);
    if (q && q->complete && q->a && q->b && q->c && q->d) return std::nullopt;
    if (!q || q->c <= 0 || q->d <= 0) return WindowSize{600, 350};
    return WindowSize{q->c, q->d};
}

// --- language folder ------------------------------------------------------------

std::vector<std::string> LanguageCandidates(std::string_view abbreviation) {
    std::string lower(abbreviation);
    for (char& c : lower) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    std::vector<std::string> out;
    if (lower.empty()) return out;
    std::string two = lower.substr(0, 2);
    auto upperFirst = [](std::string s) {
        s[0] = static_cast<char>(std::toupper(static_cast<unsigned char>(s[0])));
        return s;
    };
    for (const std::string& c : {lower, two, upperFirst(lower), upperFirst(two)}) {
        bool seen = false;
        for (const auto& o : out) seen = seen || o == c;
        if (!seen) out.push_back(c);
    }
    return out;
}

std::optional<std::string> ChooseLanguageFolder(std::string_view abbreviation,
                                                const std::function<bool(const std::string&)>& accept) {
    for (std::string_view name : {abbreviation, std::string_view("en")})
        for (const auto& candidate : LanguageCandidates(name))
            if (accept(candidate)) return candidate;
    return std::nullopt;
}

// --- input checks ------------------------------------------------------------------

uint32_t ToHost(const Octets& o) {
    return (uint32_t(o[0]) << 24) | (uint32_t(o[1]) << 16) | (uint32_t(o[2]) << 8) | uint32_t(o[3]);
}

Octets FromHost(uint32_t v) { return {uint8_t(v >> 24), uint8_t(v >> 16), uint8_t(v >> 8), uint8_t(v)}; }

std::string DottedText(const Octets& o) {
    char text[20];
    std::snprintf(text, sizeof text, "%d.%d.%d.%d", o[0], o[1], o[2], o[3]);
    return text;
}

Octets OctetsFromText(const std::string& text) {
    Octets o{};
    size_t start = 0;
    for (int i = 0; i < 4; ++i) {
        o[i] = static_cast<uint8_t>(std::atoi(text.c_str() + start));
        const size_t dot = text.find('.', start);
        if (dot == std::string::npos) break;
        start = dot + 1;
    }
    return o;
}

bool IsContiguousMask(uint32_t mask) {
    if (mask == 0 || mask == 0xFFFFFFFFu) return false;
    const uint32_t inverted = ~mask;
    return (inverted & (inverted + 1)) == 0;  // ones then zeros only
}

std::optional<AddressError> ValidateAddress(const Octets& ip, const Octets& mask, const Octets& gateway,
                                            const Octets& dns) {
    using B = AddressBox;
    const bool hasGateway = ToHost(gateway) != 0;
    const bool hasDns = ToHost(dns) != 0;
    auto fail = [](const char* key, B box) { return AddressError{key, {box}, box}; };
    if (ip[0] == 127) return fail("IP_127_Error", B::Ip);
    if (hasGateway && gateway[0] == 127) return fail("Gateway_127_Error", B::Gateway);
    if (hasDns && dns[0] == 127) return fail("DNS_127_Error", B::Dns);
    if (ip[0] < 1 || ip[0] > 223) return fail("IP_223_Error", B::Ip);
    if (hasGateway && (gateway[0] == 0 || gateway[0] >= 224)) return fail("Gateway_223_Error", B::Gateway);
    if (hasDns && (dns[0] == 0 || dns[0] >= 224)) return fail("DNS_223_Error", B::Dns);
    const uint32_t m = ToHost(mask);
    if (!IsContiguousMask(m)) return fail("Mask_Error", B::Mask);
    const uint32_t a = ToHost(ip), g = ToHost(gateway);
    if (hasGateway && (a & m) != (g & m)) return AddressError{"Subnetwork_Error", {B::Ip, B::Gateway}, B::Ip};
    if ((a & ~m) == ~m) return fail("IP_Brocast_Error", B::Ip);
    if ((g & ~m) == ~m) return fail("Gateway_Brocast_Error", B::Gateway);
    if ((a & ~m) == 0) return fail("IP_0_Error", B::Ip);
    if (hasGateway && (g & ~m) == 0) return fail("Gateway_0_Error", B::Gateway);
    return std::nullopt;
}

const char* CheckServerName(std::string_view name) {
    if (name.size() < 4 || name.size() > 15) return "Len_Error_Name";
    for (char c : name)
        if (!std::isalnum(static_cast<unsigned char>(c)) || static_cast<unsigned char>(c) > 0x7F) {
            if (c != '_') return "Alphanumeric_Error";
        }
    return nullptr;
}

PasswordCheck CheckNewPassword(std::string_view password, std::string_view confirmation) {
    if (password != confirmation) return PasswordCheck::Mismatch;
    for (char c : password) {
        const bool ok = (c >= '0' && c <= '9') || (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z');
        if (!ok) return PasswordCheck::Invalid;
    }
    return password.empty() ? PasswordCheck::Empty : PasswordCheck::Ok;
}

const char* PasswordMessageKey(PasswordCheck check) {
    switch (check) {
    case PasswordCheck::Mismatch:
        return "Confirm_Pwd";
    case PasswordCheck::Invalid:
        return "Invid_Pwd";
    case PasswordCheck::Empty:
        return "Clear_Pwd";
    case PasswordCheck::Ok:
        break;
    }
    return nullptr;
}

// --- time page ----------------------------------------------------------------------

int TimeZoneEntryForBias(long biasMinutes) {
    // Index by bias hours -12 .. 12.
    static constexpr int kEntries[25] = {63, 62, 57, 52, 48, 47, 45, 42, 39, 35, 29, 23, 21,
                                         20, 19, 16, 13, 10, 7,  5,  4,  3,  2,  1,  0};
    const long hours = biasMinutes / 60;  // truncated towards zero
    if (hours < -12 || hours > 12) return 51;
    return kEntries[hours + 12];
}

int DaysInMonthList(int month) {
    switch (month) {
    case 1:
    case 3:
    case 5:
    case 7:
    case 8:
    case 10:
    case 12:
        return 31;
    case 4:
    case 6:
    case 9:
    case 11:
        return 30;
    case 2:
        return 29;
    default:
        return 28;
    }
}

// --- disks ----------------------------------------------------------------------------

DiskDecision DecideDisks(const DiskState& s) {
    if ((s.p1 == 0 && s.p2 == 1 && s.r2 == 1) || (s.p2 == 0 && s.p1 == 1 && s.r1 == 1) ||
        (s.p1 == 1 && s.p2 == 1 && s.r1 == 1 && s.r2 == 1))
        return DiskDecision::Ready;
    // A box without disks reports them as not ready too; it must not be
    // offered a format of nothing.
    if (s.p1 == 0 && s.p2 == 0) return DiskDecision::NoDisk;
    if (s.r1 == 0 || s.r2 == 0) return DiskDecision::Format;
    return DiskDecision::Undecided;
}

DisksToFormat FormattedDisks(const DiskState& s) {
    if (s.p1 == 1 && s.r1 == 0 && s.p2 == 1 && s.r2 == 0) return DisksToFormat::Both;
    if (s.p1 == 1 && s.r1 == 0 && (s.p2 == 0 || s.r2 == 1)) return DisksToFormat::Disk1;
    if (s.p2 == 1 && s.r2 == 0 && (s.p1 == 0 || s.r1 == 1)) return DisksToFormat::Disk2;
    return DisksToFormat::None;
}

bool AnyDiskToErase(const DiskState& s) { return (s.p1 == 1 && s.r1 == 0) || (s.p2 == 1 && s.r2 == 0); }

FormatTexts BuildFormatTexts(const DiskState& s, const TextSource& message) {
    FormatTexts t;
    if (s.raidFound == 1)
        t.what = message("Find_RAID", "RAID is found on this storage server, it will be disabled.%0A%0A") + kLineBreak;
    else
        t.what = kLineBreak;
    switch (FormattedDisks(s)) {
    case DisksToFormat::Both:
        t.what += message("HDD_12", "HDD1, HDD2");
        break;
    case DisksToFormat::Disk1:
        t.what += message("HDD_1", "HDD1") + kLineBreak;
        break;
    case DisksToFormat::Disk2:
        t.what += message("HDD_2", "HDD2");
        break;
    case DisksToFormat::None:
        break;
    }
    t.what += message("Be_Format", " will be partitioned and formated.%0A%0A") + kLineBreak;
    t.erased = message("BE_ERASED", "The data on the disk(s) WILL BE ERASED.%0A%0A");
    t.decision = message("You_Continue", "If you want to continue, please click \"Next\".%0A%0A") + kLineBreak +
                 message("You_Exit",
                         "If you click \"Exit\", the wizard will quit, and the data stored in your hard disks will "
                         "not be modified.");
    return t;
}

std::string FailureDetail(int32_t subCode, const TextSource& message) {
    const char* key = nullptr;
    switch (subCode) {
    case 2:
        return message("RAID_Fail", "Failed in Disabled RAID");
    case 30:
    case 31:
        key = "Format_Fail";
        break;
    case 40:
    case 41:
        key = "Folder_Fail";
        break;
    case 50:
    case 51:
        key = "Share_Fail";
        break;
    case 80:
    case 81:
        key = "Media_Fail";
        break;
    default:
        return {};
    }
    const std::string disk = subCode % 2 == 0 ? message("HDD_1", "HDD1") : message("HDD_2", "HDD2");
    return FillFormat(message(key, "Failed in format"), {disk});
}

std::string FailureText(int32_t subCode, const TextSource& message) {
    return FailureDetail(subCode, message) + kLineBreak +
           message("Not_Complete", "The configuration of storage server is not complete.");
}

// --- confirmation ----------------------------------------------------------------------

std::string BuildSummary(const Summary& s, const TextSource& control) {
    std::string out;
    auto line = [&](const std::string& text) { out += text + kLineBreak; };
    auto text = [&](int n) { return control(("STATIC_ConfirmFunction_Position" + std::to_string(n)).c_str(), ""); };
    const std::string on = control("Str_On", "on"), off = control("Str_Off", "off");

    if (s.disks.raidFound == 1) line(text(15));
    switch (FormattedDisks(s.disks)) {
    case DisksToFormat::Both:
        line(text(4));
        break;
    case DisksToFormat::Disk1:
        line(text(2));
        break;
    case DisksToFormat::Disk2:
        line(text(3));
        break;
    case DisksToFormat::None:
        break;
    }
    line(FillFormat(text(5), {std::string(s.password.size(), '*')}));
    line(text(6));
    if (s.autoAddress)
        line(text(14));
    else
        line(FillFormat(text(7), {s.ip, s.mask, s.gateway, s.dns}));
    line(FillFormat(text(8), {s.name}));
    line(FillFormat(text(9), {s.bt ? on : off}));
    line(FillFormat(text(10), {s.itunes ? on : off}));
    line(FillFormat(text(11), {s.media ? on : off}));
    if (s.timeSync) {
        // Line breaks are already carriage return and line feed here, so a
        // "%0D" in front of one adds nothing.
        line(ReplaceAll(text(13), "%0D", ""));
        line(FillFormat(text(17), {s.timeZone}));
        if (s.daylight) {
            control("STATIC_DaylightFrom_Position", "From");
            control("STATIC_strTo_Position", "to");
            line(text(16));
            line(
                FillFormat(text(18), {s.startMonth, std::to_string(s.startDay), s.endMonth, std::to_string(s.endDay)}));
        }
    }
    return out;
}

// --- free address ---------------------------------------------------------------------

SearchResult SearchFreeAddress(const Octets& pcIp, const Octets& pcMask, const std::function<bool()>& timedOut,
                               const std::function<Probe(const std::string&)>& ping) {
    SearchResult r{kNoAddress, false};
    if (timedOut()) return r;
    const uint32_t mask = ToHost(pcMask);
    const int64_t network = ToHost(pcIp) & mask;
    const int64_t broadcast = network | (~mask & 0xFFFFFFFFu);
    for (int64_t candidate = broadcast - 2; network + 1 < candidate; --candidate) {
        if (candidate != broadcast - 2 && timedOut()) return r;
        const std::string text = DottedText(FromHost(static_cast<uint32_t>(candidate)));
        switch (ping(text)) {
        case Probe::Free:
            r.proposal = text;
            return r;
        case Probe::Unknown:
            r.unchecked = true;
            return r;
        case Probe::Taken:
            break;
        }
    }
    r.nothingFound = true;
    return r;
}

bool KeepsServerAddress(const Octets& server, uint8_t addressFlag, const Octets& pcIp, const Octets& pcMask) {
    const uint32_t m = ToHost(pcMask);
    return addressFlag == 0 && (ToHost(server) & m) == (ToHost(pcIp) & m);
}

}  // namespace kestane
