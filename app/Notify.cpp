#include "app/Notify.h"

#include <windows.h>

#include <algorithm>
#include <cstdint>
#include <initializer_list>
#include <set>
#include <unordered_set>

#include "client/WebFtpKey.h"
#include "common/WinUtil.h"

namespace app {

namespace {

const char* EndWord(JobEnd end) { return end == JobEnd::Failed ? "failed " : "finished "; }

// The job key part of an entry: everything after its first blank.
std::string KeyOf(const std::string& entry) {
    size_t blank = entry.find(' ');
    return blank == std::string::npos ? std::string() : entry.substr(blank + 1);
}

// "%d" by the number, in order; no other conversion is read.
std::string WithCounts(const std::string& format, std::initializer_list<size_t> counts) {
    std::string out;
    auto next = counts.begin();
    for (size_t i = 0; i < format.size(); ++i) {
        if (format[i] == '%' && i + 1 < format.size() && format[i + 1] == 'd' && next != counts.end()) {
            out += std::to_string(*next++);
            ++i;
        } else {
            out += format[i];
        }
    }
    return out;
}

}  // namespace

JobEnd BtJobEnd(const std::string& status) {
    if (status == "finished") return JobEnd::Finished;
    if (status == "connect error" || status == "torrent error") return JobEnd::Failed;
    return JobEnd::None;
}

JobEnd WebFtpJobEnd(const std::string& status) {
    if (status == "Finished") return JobEnd::Finished;
    if (status == "Failed") return JobEnd::Failed;
    return JobEnd::None;
}

std::vector<SeenJob> SeenJobs(const std::vector<client::BTItem>& bt, const std::vector<client::WebFTPItem>& webFtp) {
    std::vector<SeenJob> jobs;
    jobs.reserve(bt.size() + webFtp.size());
    for (const client::BTItem& item : bt)
        jobs.push_back({BoundedKey("bt " + item.itemId), item.name, BtJobEnd(item.status)});
    for (const client::WebFTPItem& item : webFtp)
        jobs.push_back({BoundedKey("web " + client::BuildWebFtpKey(item)), item.fileName, WebFtpJobEnd(item.status)});
    return jobs;
}

std::string BoundedKey(const std::string& key) {
    // Room for the longest end word ("finished ") before the key.
    constexpr size_t kMaxKeyBytes = kMaxEntryBytes - 9;
    if (key.size() <= kMaxKeyBytes && key.find('\0') == std::string::npos) return key;
    // FNV-1a over every byte of the key.
    uint64_t hash = 14695981039346656037ull;
    for (unsigned char c : key) {
        hash ^= c;
        hash *= 1099511628211ull;
    }
    std::string tail = "#";
    for (int shift = 60; shift >= 0; shift -= 4) tail += "0123456789ABCDEF"[(hash >> shift) & 0xF];
    // Cut before the first byte outside ASCII (and before any zero byte), so
    // that no character of a multi-byte code page is split: the registry
    // keeps the entry as text and must give the same bytes back.
    size_t keep = 0;
    while (keep < key.size() && keep + tail.size() < kMaxKeyBytes) {
        const unsigned char c = static_cast<unsigned char>(key[keep]);
        if (c == 0 || c >= 0x80) break;
        ++keep;
    }
    return key.substr(0, keep) + tail;
}

std::string EntryOf(const SeenJob& job) { return EndWord(job.end) + job.key; }

NoticeDecision DecideNotices(const std::vector<std::string>& remembered, bool established,
                             const std::vector<SeenJob>& jobs, size_t limit) {
    std::unordered_set<std::string> endedNow, listedKeys;
    for (const SeenJob& job : jobs) {
        listedKeys.insert(job.key);
        if (job.end != JobEnd::None) endedNow.insert(EntryOf(job));
    }
    NoticeDecision decision;
    std::unordered_set<std::string> kept;
    for (const std::string& entry : remembered) {
        // A listed job keeps only the entry of its present end.
        if (listedKeys.count(KeyOf(entry)) && !endedNow.count(entry)) continue;
        if (kept.insert(entry).second) decision.remembered.push_back(entry);
    }
    for (const SeenJob& job : jobs) {
        if (job.end == JobEnd::None) continue;
        std::string entry = EntryOf(job);
        if (!kept.insert(entry).second) continue;
        decision.remembered.push_back(entry);
        if (established) decision.fresh.push_back({job.name, job.end});
    }
    if (decision.remembered.size() > limit) {
        size_t surplus = decision.remembered.size() - limit;
        std::vector<std::string> bounded;
        bounded.reserve(limit);
        for (std::string& entry : decision.remembered) {
            if (surplus && !endedNow.count(entry)) {
                --surplus;
                continue;
            }
            bounded.push_back(std::move(entry));
        }
        decision.remembered = std::move(bounded);
    }
    return decision;
}

std::string JoinEntries(const std::vector<std::string>& entries, size_t limit, size_t maxBytes) {
    // The newest first, until the count or the room (the final zero byte
    // included) runs out.
    std::vector<const std::string*> kept;
    size_t size = 1;
    for (auto it = entries.rbegin(); it != entries.rend() && kept.size() < limit; ++it) {
        const std::string& entry = *it;
        if (entry.empty() || entry.size() > kMaxEntryBytes || entry.find('\0') != std::string::npos) continue;
        if (size + entry.size() + 1 > maxBytes) break;
        size += entry.size() + 1;
        kept.push_back(&entry);
    }
    std::string bytes;
    bytes.reserve(size);
    for (auto it = kept.rbegin(); it != kept.rend(); ++it) {
        bytes += **it;
        bytes += '\0';
    }
    bytes += '\0';
    return bytes;
}

std::vector<std::string> SplitEntries(const std::string& bytes, size_t limit) {
    std::vector<std::string> entries;
    size_t start = 0;
    while (start < bytes.size()) {
        size_t end = bytes.find('\0', start);
        if (end == std::string::npos) end = bytes.size();
        if (end > start) entries.emplace_back(bytes, start, end - start);
        start = end + 1;
    }
    // Keep the last occurrence of each, in order, and at most `limit` of them.
    std::vector<std::string> unique;
    std::set<std::string> seen;
    for (auto it = entries.rbegin(); it != entries.rend() && unique.size() < limit; ++it)
        if (seen.insert(*it).second) unique.push_back(std::move(*it));
    std::reverse(unique.begin(), unique.end());
    return unique;
}

Balloon NextBalloon(std::deque<EndedJob>& pending, const BalloonTexts& texts) {
    Balloon balloon;
    if (pending.size() <= kSingleBalloons) {
        const EndedJob& job = pending.front();
        balloon.failed = job.end == JobEnd::Failed;
        balloon.title = balloon.failed ? texts.failedTitle : texts.finishedTitle;
        balloon.text = job.name;
        pending.pop_front();
        return balloon;
    }
    size_t failed = static_cast<size_t>(
        std::count_if(pending.begin(), pending.end(), [](const EndedJob& job) { return job.end == JobEnd::Failed; }));
    size_t finished = pending.size() - failed;
    balloon.failed = failed != 0;
    balloon.title = texts.summaryTitle;
    balloon.text = failed == 0     ? WithCounts(texts.summaryFinished, {finished})
                   : finished == 0 ? WithCounts(texts.summaryFailed, {failed})
                                   : WithCounts(texts.summaryBoth, {finished, failed});
    pending.clear();
    return balloon;
}

std::wstring FitField(const std::wstring& text, size_t capacity) {
    if (capacity == 0) return std::wstring();
    if (text.size() < capacity) return text;
    const std::wstring dots = L"...";
    if (capacity <= dots.size()) return std::wstring();
    size_t keep = capacity - 1 - dots.size();
    if (keep > 0 && text[keep - 1] >= 0xD800 && text[keep - 1] <= 0xDBFF) --keep;  // a lone high half
    return text.substr(0, keep) + dots;
}

bool NotifySettings::Enabled() const { return settings_.NotifyOn(); }

void NotifySettings::SetEnabled(bool on) const { settings_.SetNotifyOn(on); }

bool NotifySettings::Load(const std::string& address, std::vector<std::string>& entries) const {
    entries.clear();
    std::string bytes;
    if (!settings_.ReadNotifiedJobs(address, bytes)) return false;
    entries = SplitEntries(bytes);
    return true;
}

void NotifySettings::Save(const std::string& address, const std::vector<std::string>& entries) const {
    settings_.WriteNotifiedJobs(address, JoinEntries(entries));
}

}  // namespace app
