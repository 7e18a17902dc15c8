// Telling the user about downloads that finished or failed on the server: which
// jobs are news, the list of jobs already told about (one per server, kept in
// the settings so that jobs that ended while the program was not running are
// told at the next connection), and the balloons that tell them. Nothing here
// needs a window; the main window feeds in each new status and shows the
// balloons it gets back.
#pragma once
#include <deque>
#include <string>
#include <utility>
#include <vector>

#include "client/StatusTypes.h"
#include "settings/Settings.h"

namespace app {

enum class JobEnd { None, Finished, Failed };
// By the status texts that the job lists colour: BT "finished", "connect error"
// and "torrent error"; Web/FTP "Finished" and "Failed". Exact comparison.
JobEnd BtJobEnd(const std::string& status);
JobEnd WebFtpJobEnd(const std::string& status);

// One job of a status as the notifications see it.
struct SeenJob {
    std::string key;  // "bt " + item ID, or "web " + Web/FTP key, shortened by BoundedKey
    std::string name;
    JobEnd end = JobEnd::None;
};
std::vector<SeenJob> SeenJobs(const std::vector<client::BTItem>& bt, const std::vector<client::WebFTPItem>& webFtp);

// The longest entry that the remembered list stores.
constexpr size_t kMaxEntryBytes = 512;
// A job key as the list keeps it: a longer one (the server chooses IDs and
// names) becomes its leading ASCII characters, "#" and a 64-bit hash of the
// whole key in hexadecimal, so that its entry fits kMaxEntryBytes and two
// long keys stay apart.
std::string BoundedKey(const std::string& key);

// An entry of the remembered list: "finished " or "failed " and the job's key.
std::string EntryOf(const SeenJob& job);

struct EndedJob {
    std::string name;
    JobEnd end = JobEnd::Finished;
};

constexpr size_t kRememberedLimit = 200;

struct NoticeDecision {
    std::vector<EndedJob> fresh;          // to be told, in list order
    std::vector<std::string> remembered;  // the list to keep, oldest first
};

// Compares the jobs of a new status with the list of jobs already told about.
// Every job that has ended and is not on the list joins it, and is news unless
// `established` is false (the first list of a server: what ended before is not
// told). A listed job that runs again (a failed job that was resumed) or ended
// otherwise leaves the list, so that its next end is news again. The list
// keeps at most `limit` entries, dropping the oldest first, but never one of a
// job that is still listed as ended (that one would be news again at once).
NoticeDecision DecideNotices(const std::vector<std::string>& remembered, bool established,
                             const std::vector<SeenJob>& jobs, size_t limit = kRememberedLimit);

// What one list may take in the registry, its zero bytes included.
constexpr size_t kMaxStoredBytes = 32 * 1024;

// The registry form of the list: a REG_MULTI_SZ (each entry ends with a zero
// byte, the list with one more). Entries that the form cannot carry (empty,
// with a zero byte, or longer than kMaxEntryBytes) are left out. Of a longer
// list only the newest entries are written: at most `limit` of them, in at
// most `maxBytes` bytes, whatever a server lists.
std::string JoinEntries(const std::vector<std::string>& entries, size_t limit = kRememberedLimit,
                        size_t maxBytes = kMaxStoredBytes);
// Reads it back whatever the value holds: a missing final zero, empty entries
// and repeated entries are passed over; of a longer list the last `limit`
// entries are kept.
std::vector<std::string> SplitEntries(const std::string& bytes, size_t limit = kRememberedLimit);

struct BalloonTexts {
    std::string finishedTitle;    // "Download finished"
    std::string failedTitle;      // "Download failed"
    std::string summaryTitle;     // "Quarrow"
    std::string summaryFinished;  // "%d downloads finished"
    std::string summaryFailed;    // "%d downloads failed"
    std::string summaryBoth;      // "%d downloads finished, %d failed"
};

struct Balloon {
    std::string title;
    std::string text;
    bool failed = false;  // shown with the warning icon
};

// More than this many pending jobs are told in one summary balloon.
constexpr size_t kSingleBalloons = 3;

// Takes the next balloon from the pending jobs: the first job's own balloon
// (title by its end, the job's name as text), or, when more than three are
// pending, one summary of all of them. `pending` must not be empty.
Balloon NextBalloon(std::deque<EndedJob>& pending, const BalloonTexts& texts);

// A text for a fixed field of `capacity` characters, its terminating zero
// included: cut with "..." when too long, never between the two halves of a
// surrogate pair.
std::wstring FitField(const std::wstring& text, size_t capacity);

// The settings behind the notifications (kept by the settings module): the
// switch, and each server's list in the form JoinEntries makes.
class NotifySettings {
public:
    explicit NotifySettings(std::string settingsKey) : settings_(std::move(settingsKey)) {}
    bool Enabled() const;
    void SetEnabled(bool on) const;
    // False when no list is stored for the server (or the address cannot name a subkey).
    bool Load(const std::string& address, std::vector<std::string>& entries) const;
    void Save(const std::string& address, const std::vector<std::string>& entries) const;

private:
    settings::CSettings settings_;
};

}  // namespace app
