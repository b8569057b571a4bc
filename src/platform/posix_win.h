// SPDX-License-Identifier: MIT
#pragma once
// The few POSIX file calls the portable sources use, on Windows, where the C
// runtime (MinGW's msvcrt) has open, read, write and stat but not the rest.
// The Windows build includes this header before every source (-include):
// flags Windows has no use for are 0, and what matters for the data is the
// system's own: a lock is LockFileEx, a flush to the disk FlushFileBuffers.
// A file open()ed is binary: the runtime would otherwise turn CR LF into LF
// and end the file at a Ctrl+Z byte. The hex file is bytes.
// A path is UTF-8, as Qt and the command line (cmdline/programarguments.h)
// give it: open(), statUtf8() and mkdir() take it to the system as UTF-16, so
// that C:\Firmware\Prüfung\fw.hex opens whatever the system's code page. A
// path that is not valid UTF-8 goes as it stands, in that code page.

#include <fcntl.h>
#include <io.h>
#include <sys/stat.h>
#include <sys/types.h>

#include <stddef.h>

#undef O_RDONLY
#undef O_WRONLY
#undef O_RDWR
#ifdef __cplusplus
// The access mode is of a type of its own, so that ::open(path, O_RDONLY |
// ...) is the open() below, not the runtime's (which takes an int).
namespace quill::posixwin {
enum OpenFlags : int {};
constexpr OpenFlags operator|(OpenFlags a, int b) {
    return OpenFlags(int(a) | b);
}
constexpr OpenFlags operator|(int a, OpenFlags b) {
    return OpenFlags(a | int(b));
}
} // namespace quill::posixwin
#define O_RDONLY (quill::posixwin::OpenFlags(_O_RDONLY | _O_BINARY))
#define O_WRONLY (quill::posixwin::OpenFlags(_O_WRONLY | _O_BINARY))
#define O_RDWR (quill::posixwin::OpenFlags(_O_RDWR | _O_BINARY))
#else
#define O_RDONLY (_O_RDONLY | _O_BINARY)
#define O_WRONLY (_O_WRONLY | _O_BINARY)
#define O_RDWR (_O_RDWR | _O_BINARY)
#endif

#ifndef O_CLOEXEC
#define O_CLOEXEC 0 // handles are not inherited by default
#endif
#ifndef O_NONBLOCK
#define O_NONBLOCK 0 // a regular file never blocks, and Windows has no FIFOs to open
#endif
#ifndef O_NOFOLLOW
#define O_NOFOLLOW 0
#endif
#ifndef F_GETFL
#define F_GETFL 3
#define F_SETFL 4
#endif
#ifndef O_NOCTTY
#define O_NOCTTY 0 // no terminals to acquire
#endif
#include <signal.h>
#ifndef SIGPIPE
// Windows raises no SIGPIPE: a write to a pipe without a reader fails. The
// name stands for a signal that is valid and that Windows never raises
// either, so that ignoring it changes nothing.
#define SIGPIPE SIGTERM
#endif

// sigaction over the runtime's signal(): a handler, no mask, no flags.
#ifndef SA_RESTART
#define SA_RESTART 0
typedef int sigset_t;
struct sigaction {
    void (*sa_handler)(int);
    sigset_t sa_mask;
    int sa_flags;
};
inline int sigemptyset(sigset_t* set) {
    *set = 0;
    return 0;
}
inline int sigaction(int sig, const struct sigaction* act, struct sigaction* old) {
    void (*before)(int) = act != NULL ? signal(sig, act->sa_handler) : signal(sig, SIG_DFL);
    if (act == NULL) {
        signal(sig, before);
    }
    if (old != NULL) {
        old->sa_handler = before;
        old->sa_mask = 0;
        old->sa_flags = 0;
    }
    return before == SIG_ERR ? -1 : 0;
}
#endif

#ifndef S_ISLNK
#define S_ISLNK(mode) 0 // the runtime sees no symbolic links
#endif

#ifndef LOCK_EX
#define LOCK_SH 1
#define LOCK_EX 2
#define LOCK_NB 4
#define LOCK_UN 8
#endif

#ifdef __cplusplus
namespace quill::posixwin {
// open() of a UTF-8 path; `mode` with O_CREAT.
int open(const char* path, OpenFlags flags, int mode = 0);
// stat() of a UTF-8 path (shared/filestatus.h: pathStatus()).
int statUtf8(const char* path, struct stat* info);
// fcntl for F_GETFL and F_SETFL: no flags to read or change.
int fcntl(int fd, int command, ...);
// flock through LockFileEx on the file's handle: exclusive or shared, for the
// first byte, not waiting with LOCK_NB; EWOULDBLOCK when another holds it.
int flock(int fd, int operation);
// The file's data and its size on the disk: FlushFileBuffers.
int fsync(int fd);
// mkdir with a mode, which Windows ignores: the user's profile is private.
int mkdir(const char* path, int mode);
// A new folder named by the pattern, its trailing XXXXXX replaced.
char* mkdtemp(char* pattern);
// stat: the runtime follows no links, so there is none to stop at.
int lstat(const char* path, struct stat* info);
// The first place of needle in haystack, or null.
void* memmem(const void* haystack, size_t haystackLength, const void* needle, size_t needleLength);
} // namespace quill::posixwin
using quill::posixwin::fcntl;
using quill::posixwin::flock;
using quill::posixwin::fsync;
using quill::posixwin::lstat;
using quill::posixwin::memmem;
using quill::posixwin::mkdir;
using quill::posixwin::mkdtemp;
using quill::posixwin::open;
#endif
