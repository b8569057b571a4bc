// SPDX-License-Identifier: MIT
#pragma once
// The history's own texts: what went wrong with it, where the settings
// name it, and the captions of the listing.

namespace quill::text {

// The settings that name a shared history: [History] URL=postgresql://...;
// none, or empty, is the SQLite file of this station.
inline constexpr const char* SectionHistory = "History";
inline constexpr const char* KeyHistoryUrl = "URL";

// What failed; the place and the reason follow.
inline constexpr const char* HistoryNotOpened = "The history could not be opened";
inline constexpr const char* HistoryNotWritten = "The history could not be written";
inline constexpr const char* HistoryNotRead = "The history could not be read";
inline constexpr const char* HistoryUrlNotUnderstood = "The history URL is not understood";

// After the failure's what, where and why: the download is not stopped.
inline constexpr const char* HistoryGoesOn = "; the download goes on unrecorded.";

// The journal (the rows kept on this station's disk on their way to the
// history), when it cannot be used or holds what cannot be read.
inline constexpr const char* JournalNotUsed = "The journal could not be used";
inline constexpr const char* JournalGoesDirect =
    "; the rows go straight to the history, and are not recorded if it cannot take them.";
inline constexpr const char* JournalEntryKeptAside = "A journal entry was kept aside in ";
inline constexpr const char* JournalEntryNotTaken =
    "; its row was not taken to the history: look at it, then remove it.";
// Said by every program that writes the history until a person removes them.
inline constexpr const char* EntryKeptAside = " journal entry is kept aside in ";
inline constexpr const char* EntriesKeptAside = " journal entries are kept aside in ";
inline constexpr const char* KeptAsideLook =
    ": their rows are not in the history; look at them, then remove them.";
inline constexpr const char* JournalEntryDamaged = "it is damaged";
inline constexpr const char* JournalEntryNotFile = "it is not a regular file";
inline constexpr const char* JournalEntryTooBig = "it is larger than any entry Quill writes";

// After the history's failure, when the rows are kept in the journal.
inline constexpr const char* HistoryGoesOnJournal =
    "; the download goes on, its row kept in the journal until the history takes it.";
// The rows neither the history nor the journal took, when the program ends.
inline constexpr const char* RowNotRecorded = " row could not be written to the history ";
inline constexpr const char* RowsNotRecorded = " rows could not be written to the history ";
inline constexpr const char* NorToJournal = " nor to the journal: not recorded.";

// The window program, as the history names it.
inline constexpr const char* WindowProgram = "quill";

// Reasons of our own.
inline constexpr const char* HistoryNoPlace = "neither XDG_DATA_HOME nor HOME is set";
inline constexpr const char* HistoryNoPlaceWindows =
    "Windows names no application data folder (%APPDATA%) for this user";

// This program's data folder as help and messages name it, on each system
// (ownfolders_unix.cpp, ownfolders_win.cpp).
inline constexpr const char* DataFolderUnix = "$XDG_DATA_HOME/quill";
inline constexpr const char* DataFolderUnixDefault = "~/.local/share/quill";
inline constexpr const char* DataFolderWindows = "%APPDATA%\\quill";
// Where libpq looks for a password the URL leaves out.
inline constexpr const char* PasswordFileUnix = "~/.pgpass";
inline constexpr const char* PasswordFileWindows = "%APPDATA%\\postgresql\\pgpass.conf";
inline constexpr const char* HistoryNoDriver =
    "Qt SQL has no driver for it (Debian: libqt6sql6-sqlite, libqt6sql6-psql)";
inline constexpr const char* HistoryUrlForm =
    "expected postgresql://user@host[:port]/database[?host=/socket/folder], or the absolute "
    "path of an SQLite file";
// A URL with sslmode=require, verify-ca or verify-full on the Windows build.
inline constexpr const char* HistoryNoTls =
    "this build of Quill has no TLS to PostgreSQL: leave sslmode out (or set it to disable or "
    "prefer) on a trusted network, or use the Linux build";
inline constexpr const char* HistoryUrlParameter = "unknown parameter ";
inline constexpr const char* HistoryUrlValue = "bad value for ";
inline constexpr const char* HistoryNewerSchema = "it was made by a newer Quill (schema version ";
inline constexpr const char* HistoryNoSuchAttempt = "no attempt with the number or key ";
inline constexpr const char* HistoryCounterFull =
    "the series has reached the largest number the history can hold (9223372036854775806); "
    "start a new series";
inline constexpr const char* HistoryNoReason =
    "it gave no reason (its connection may be lost); try again";
inline constexpr const char* HistoryNoAnswer = "it did not take the rows in time";
inline constexpr const char* JournalIsLink =
    "it is a symbolic link: Quill writes its records only where it made them";
inline constexpr const char* HistoryBadShaPrefix = "a SHA-256 prefix is hexadecimal digits";

// The column captions of the listing on a terminal.
inline constexpr const char* HistoryColumnStarted = "STARTED (UTC)";
inline constexpr const char* HistoryColumnPort = "PORT";
inline constexpr const char* HistoryColumnFile = "FILE";
inline constexpr const char* HistoryColumnSha256 = "SHA-256";
inline constexpr const char* HistoryColumnOutcome = "OUTCOME";
inline constexpr const char* HistoryColumnRecords = "RECORDS";
inline constexpr const char* HistoryColumnSeconds = "SECONDS";
inline constexpr const char* HistoryColumnStation = "STATION";
inline constexpr const char* HistoryColumnOperator = "OPERATOR";
inline constexpr const char* HistoryColumnBatch = "BATCH";

// The column captions of the listing in a window.
inline constexpr const char* HistoryHeaderTime = "Time";
inline constexpr const char* HistoryHeaderPort = "Port";
inline constexpr const char* HistoryHeaderFile = "File";
inline constexpr const char* HistoryHeaderSha256 = "SHA-256";
inline constexpr const char* HistoryHeaderOutcome = "Outcome";
inline constexpr const char* HistoryHeaderRecords = "Records";
inline constexpr const char* HistoryHeaderSeconds = "Seconds";
inline constexpr const char* HistoryHeaderStation = "Station";
inline constexpr const char* HistoryHeaderOperator = "Operator";
inline constexpr const char* HistoryHeaderSerial = "Serial";
inline constexpr const char* HistoryHeaderBatch = "Batch";
inline constexpr const char* HistoryHeaderUnit = "Unit";
inline constexpr const char* HistoryHeaderAttempt = "Attempt";

// The units as every view says them: "Units 4: first pass 3 (75%), final
// 4 (100%)", and apart "2 not started", "1 stopped", "1 running".
inline constexpr const char* UnitsCounted = "Units ";
inline constexpr const char* UnitsFirstPass = ": first pass ";
inline constexpr const char* UnitsFinal = ", final ";
inline constexpr const char* UnitsNotStarted = " not started";
inline constexpr const char* UnitsStopped = " stopped";
inline constexpr const char* UnitsRunning = " running";

} // namespace quill::text
