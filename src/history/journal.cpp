// SPDX-License-Identifier: MIT
#include "history/journal.h"

#include "history/historyschema.h"
#include "history/historytexts.h"
#include "history/ownfolders.h"
#include "shared/fileops.h"
#include "shared/filepath.h"

#include <QByteArray>
#include <QCryptographicHash>
#include <QDataStream>
#include <QIODevice>

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <filesystem>
#include <set>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

namespace quill {

namespace {

// When a file was last written, in ms; to the second where the system's
// runtime keeps no more (Windows).
template <typename Stat> int64_t modifiedMs(const Stat& info) {
    if constexpr (requires { info.st_mtim.tv_nsec; }) {
        return int64_t(info.st_mtim.tv_sec) * 1000 + info.st_mtim.tv_nsec / 1000000;
    } else {
        return int64_t(info.st_mtime) * 1000;
    }
}

constexpr const char* Magic = "quill-journal-1";
constexpr const char* LockName = "lock";
constexpr const char* OwnPrefix = "p-";
constexpr const char* TempPrefix = ".tmp-";

// The folder that holds the journals: "quill" under the given data folder
// (tests), else this program's own.
std::string dataFolderOr(const std::string& given) {
    return given.empty() ? ownDataFolder() : given + "/quill";
}

bool isLink(const std::string& path) {
    struct stat info {};
    return ::lstat(path.c_str(), &info) == 0 && S_ISLNK(info.st_mode);
}

// A folder of ours: made private if it is not there, never a link.
HistoryStatus makeFolder(const std::string& path) {
    if (isLink(path)) {
        return HistoryError{text::JournalNotUsed, path, text::JournalIsLink};
    }
    if (::mkdir(path.c_str(), 0700) != 0 && errno != EEXIST) {
        return HistoryError{text::JournalNotUsed, path, std::strerror(errno)};
    }
    return {};
}

std::vector<std::string> names(const std::string& folder) {
    std::vector<std::string> found = folderNames(folder);
    std::sort(found.begin(), found.end());
    return found;
}

// The lock file, then the folder of a journal whose program is done with
// it. Windows removes no file that is open: there the lock goes once closed.
void removeOwnFolder(const std::string& folder, int lock) {
    const std::string lockFile = folder + "/" + LockName;
    const bool removed = removeFile(lockFile);
    ::close(lock);
    if (!removed) {
        removeFile(lockFile);
    }
    removeFolder(folder);
}

bool isEntry(const std::string& name) {
    return name != LockName && !name.starts_with(TempPrefix);
}

QByteArray encode(const JournalEntry& entry) {
    QByteArray bytes;
    QDataStream out(&bytes, QIODevice::WriteOnly);
    out.setVersion(QDataStream::Qt_6_4);
    out << QByteArray(Magic) << quint8(entry.kind) << schema::values(entry.attempt);
    return bytes;
}

std::optional<JournalEntry> decode(const QByteArray& bytes) {
    QDataStream in(bytes);
    in.setVersion(QDataStream::Qt_6_4);
    QByteArray magic;
    quint8 kind = 0;
    QVariantList values;
    in >> magic >> kind >> values;
    if (in.status() != QDataStream::Ok || magic != Magic || kind > 1) {
        return std::nullopt;
    }
    JournalEntry entry;
    entry.kind = static_cast<JournalEntry::Kind>(kind);
    if (!schema::setValues(entry.attempt, values)) {
        return std::nullopt;
    }
    return entry;
}

// An entry as read, or why it cannot be: an entry is a small regular file
// of ours, and anything else (a FIFO that would block, a device, a huge
// file) is refused before a byte of it is read.
struct Read {
    std::optional<JournalEntry> entry;
    const char* why = nullptr;
};

Read readEntry(const std::string& path) {
    const int fd = ::open(path.c_str(), O_RDONLY | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC);
    if (fd < 0) {
        return {std::nullopt, text::JournalEntryNotFile};
    }
    struct stat info {};
    if (::fstat(fd, &info) != 0 || !S_ISREG(info.st_mode)) {
        ::close(fd);
        return {std::nullopt, text::JournalEntryNotFile};
    }
    if (info.st_size > Journal::MaxEntryBytes) {
        ::close(fd);
        return {std::nullopt, text::JournalEntryTooBig};
    }
    QByteArray bytes;
    char piece[4096];
    ssize_t n = 0;
    while ((n = ::read(fd, piece, sizeof piece)) > 0 && bytes.size() <= Journal::MaxEntryBytes) {
        bytes.append(piece, n);
    }
    ::close(fd);
    auto entry = n == 0 ? decode(bytes) : std::nullopt;
    if (!entry) {
        return {std::nullopt, bytes.size() > Journal::MaxEntryBytes ? text::JournalEntryTooBig
                                                                    : text::JournalEntryDamaged};
    }
    entry->file = path;
    return {std::move(entry), nullptr};
}

bool writeAll(int fd, const QByteArray& bytes) {
    qsizetype done = 0;
    while (done < bytes.size()) {
        const ssize_t n = ::write(fd, bytes.constData() + done, size_t(bytes.size() - done));
        if (n < 0 && errno == EINTR) {
            continue;
        }
        if (n <= 0) {
            return false;
        }
        done += n;
    }
    return true;
}

// Tries to lock a program's folder: true when its program has gone (or this
// is the new one), with the lock held on `fd`.
bool lockFolder(const std::string& folder, int& fd) {
    fd = ::open((folder + "/" + LockName).c_str(), O_RDWR | O_CREAT | O_NOFOLLOW | O_CLOEXEC, 0600);
    if (fd < 0) {
        return false;
    }
    if (::flock(fd, LOCK_EX | LOCK_NB) != 0) {
        ::close(fd);
        fd = -1;
        return false;
    }
    return true;
}

} // namespace

std::string Journal::folderOf(const HistoryLocation& where, const std::string& dataFolder) {
    const std::string data = dataFolderOr(dataFolder);
    if (data.empty()) {
        return {};
    }
    // One journal per history, named by where it is, without its password.
    const QByteArray id = QCryptographicHash::hash(QByteArray::fromStdString(where.shown()),
                                                   QCryptographicHash::Sha256)
                              .toHex()
                              .left(16);
    return data + "/journal/" + id.toStdString();
}

Journal::Journal(std::string folder, std::string own, int lock)
    : m_folder(std::move(folder)), m_own(std::move(own)), m_lock(lock) {}

Journal::~Journal() {
    // A program that leaves nothing behind takes its folder with it.
    const std::vector<std::string> left = names(m_own);
    if (std::none_of(left.begin(), left.end(), isEntry)) {
        removeOwnFolder(m_own, m_lock);
    } else {
        ::close(m_lock);
    }
}

HistoryResult<std::unique_ptr<Journal>> Journal::open(const HistoryLocation& where,
                                                      const std::string& dataFolder) {
    const std::string folder = folderOf(where, dataFolder);
    if (folder.empty()) {
        return HistoryError{text::JournalNotUsed, ownDataFolderShown("journal"), noOwnDataFolder()};
    }
    const std::string quill = folder.substr(0, folder.rfind("/journal/"));
    const std::string parent = quill.substr(0, quill.rfind('/'));
    std::error_code ignored;
    std::filesystem::create_directories(filePath(parent), ignored);
    for (const std::string& path : {quill, quill + "/journal", folder}) {
        if (HistoryStatus failed = makeFolder(path)) {
            return *failed;
        }
    }
    char own[] = "/p-XXXXXX";
    std::string pattern = folder + own;
    if (::mkdtemp(pattern.data()) == nullptr) {
        return HistoryError{text::JournalNotUsed, folder, std::strerror(errno)};
    }
    int lock = -1;
    if (!lockFolder(pattern, lock)) {
        return HistoryError{text::JournalNotUsed, pattern, std::strerror(errno)};
    }
    return std::unique_ptr<Journal>(new Journal(folder, pattern, lock));
}

HistoryStatus Journal::add(JournalEntry& entry) {
    char name[64];
    std::snprintf(name, sizeof name, "%016llu-%c", static_cast<unsigned long long>(m_next++),
                  entry.kind == JournalEntry::Kind::Begin ? 'b' : 'e');
    const std::string final = m_own + "/" + name;
    const std::string temp = m_own + "/" + TempPrefix + name;
    const int fd = ::open(temp.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0600);
    const auto failed = [&](int error) {
        if (fd >= 0) {
            ::close(fd);
        }
        removeFile(temp);
        return HistoryError{text::JournalNotUsed, m_own, std::strerror(error)};
    };
    if (fd < 0) {
        return failed(errno);
    }
    if (!writeAll(fd, encode(entry)) || ::fsync(fd) != 0) {
        return failed(errno != 0 ? errno : EIO);
    }
    ::close(fd);
    // The name, too, must survive a crash: a temporary is no entry.
    if (!renameFile(temp, final, true)) {
        const int error = errno;
        removeFile(temp);
        return HistoryError{text::JournalNotUsed, m_own, std::strerror(error)};
    }
    entry.file = final;
    return {};
}

void Journal::remove(const JournalEntry& entry) {
    if (!entry.file.empty()) {
        removeFile(entry.file);
    }
}

std::vector<JournalEntry> Journal::takeOver(std::vector<std::string>* keptAside) {
    std::vector<JournalEntry> taken;
    for (const std::string& name : names(m_folder)) {
        const std::string other = m_folder + "/" + name;
        int lock = -1;
        if (!name.starts_with(OwnPrefix) || other == m_own || isLink(other) ||
            !lockFolder(other, lock)) {
            continue; // its program still runs, or it is no folder of ours
        }
        for (const std::string& file : names(other)) {
            const std::string path = other + "/" + file;
            if (!isEntry(file)) {
                removeFile(path); // a temporary a crash left, never renamed: not an entry
                continue;
            }
            Read read = readEntry(path);
            if (!read.entry) {
                // Never deleted: what it held may be a row that is nowhere else.
                const std::string aside = keepAside(path, name + "-" + file);
                if (keptAside != nullptr) {
                    keptAside->push_back(std::string(text::JournalEntryKeptAside) + aside + ": " +
                                         read.why + text::JournalEntryNotTaken);
                }
                continue;
            }
            char mine[64];
            std::snprintf(mine, sizeof mine, "%016llu-%c",
                          static_cast<unsigned long long>(m_next++),
                          read.entry->kind == JournalEntry::Kind::Begin ? 'b' : 'e');
            const std::string moved = m_own + "/" + mine;
            if (renameFile(path, moved, false)) {
                read.entry->file = moved;
                taken.push_back(std::move(*read.entry));
            }
        }
        removeOwnFolder(other, lock);
    }
    return taken;
}

// Into the folder of entries kept aside; where it is now (where it was,
// if it could not be moved).
std::string Journal::keepAside(const std::string& path, const std::string& name) const {
    const std::string aside = m_folder + "/" + KeptAsideName;
    if (makeFolder(aside)) {
        return path;
    }
    const std::string moved = aside + "/" + name;
    return renameFile(path, moved, false) ? moved : path;
}

Journal::Waiting Journal::waiting(const HistoryLocation& where, const std::string& dataFolder) {
    Waiting w;
    std::set<std::string> rows;
    const std::string folder = folderOf(where, dataFolder);
    for (const std::string& name : names(folder)) {
        if (!name.starts_with(OwnPrefix)) {
            continue; // the entries kept aside wait for a person, not for the history
        }
        const std::string program = folder + "/" + name;
        for (const std::string& file : names(program)) {
            struct stat info {};
            const std::string path = program + "/" + file;
            if (!isEntry(file) || ::lstat(path.c_str(), &info) != 0) {
                continue;
            }
            if (const Read read = readEntry(path); read.entry) {
                rows.insert(read.entry->attempt.key);
            }
            const int64_t ms = modifiedMs(info);
            w.sinceMs = std::min(w.sinceMs.value_or(ms), ms);
        }
    }
    w.rows = rows.size();
    w.keptAside = names(folder + "/" + KeptAsideName).size();
    return w;
}

} // namespace quill
