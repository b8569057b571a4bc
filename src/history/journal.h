// SPDX-License-Identifier: MIT
#pragma once
// The rows on their way to the history, kept on this station's disk first.
// Each attempt's beginning and each end is written here, and is on the disk
// before the call returns, so that a history that is down, locked, frozen or
// out of reach loses nothing: the writer takes the entries to the history
// when it can, and removes each once it is there. What a program could not
// take there waits for the next program that writes or lists the history.
//
// One folder per history (by its location, the password left out), private
// to the user, in the data folder beside the station's own history; in it a
// folder per program that writes, locked while the program runs, so that
// another program takes over only the entries of one that has gone. An
// entry is a file of its own, written whole under another name, flushed to
// the disk and then renamed: a crash or a full disk leaves either the whole
// entry or none. Never written through a symbolic link.

#include "history/attempt.h"
#include "history/historyerror.h"
#include "history/historylocation.h"

#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <vector>

namespace quill {

struct JournalEntry {
    enum class Kind : uint8_t { Begin, End };
    Kind kind = Kind::Begin;
    // Begin: the attempt as begun, its key set; End: the fields of its end
    // and its key.
    Attempt attempt;
    std::string file; // where it is kept; set by Journal::add
};

class Journal {
  public:
    // The journal of the history at `where`, under `dataFolder` (empty:
    // $XDG_DATA_HOME, else ~/.local/share). This program's own folder is
    // made and locked.
    static HistoryResult<std::unique_ptr<Journal>> open(const HistoryLocation& where,
                                                        const std::string& dataFolder = {});
    ~Journal();
    Journal(const Journal&) = delete;
    Journal& operator=(const Journal&) = delete;

    // Writes the entry to the disk; its file is set. The error says why not.
    HistoryStatus add(JournalEntry& entry);
    // The entry is in the history: it goes.
    void remove(const JournalEntry& entry);
    // The entries of programs that have gone without taking them to the
    // history, oldest first; from now on they are this program's. One that
    // cannot be read (damaged, not a regular file, too big) is never
    // deleted: it is moved into a folder of its own in the journal, and
    // `keptAside` gets a line that says where and why.
    std::vector<JournalEntry> takeOver(std::vector<std::string>* keptAside = nullptr);

    // The folder, within the history's journal, of the entries kept aside.
    static constexpr const char* KeptAsideName = "kept-aside";
    // An entry is a few hundred bytes; nothing larger is read.
    static constexpr int64_t MaxEntryBytes = 1 << 20;

    // How many entries wait for the history, and since when (UTC ms); what
    // the listing says. Reads, takes nothing over.
    struct Waiting {
        size_t rows = 0;                // attempts with a beginning or an end not yet there
        std::optional<int64_t> sinceMs; // the oldest entry's time
        size_t keptAside = 0;           // entries that could not be read, kept for a person
    };
    static Waiting waiting(const HistoryLocation& where, const std::string& dataFolder = {});

    // The folder of the history's journal.
    static std::string folderOf(const HistoryLocation& where, const std::string& dataFolder = {});
    const std::string& folder() const { return m_folder; }

  private:
    Journal(std::string folder, std::string own, int lock);
    std::string keepAside(const std::string& path, const std::string& name) const;

    std::string m_folder; // the history's
    std::string m_own;    // this program's, within it
    int m_lock = -1;      // held while this program runs
    uint64_t m_next = 0;  // the number of the next entry
};

} // namespace quill
