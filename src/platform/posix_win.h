// SPDX-License-Identifier: MIT
#pragma once
// The few POSIX file calls the portable sources use, on Windows, where the C
// runtime (MinGW's msvcrt) has open, read, write and stat but not the rest.
// The Windows build includes this header before every source (-include):
// flags Windows has no use for are 0, and what matters for the data is the
// system's own: a lock is LockFileEx, a flush to the disk FlushFileBuffers.
// A file open()ed is binary: the runtime would otherwise turn CR LF into LF
// and end the file at a Ctrl+Z byte. The hex file is bytes.

#include <fcntl.h>
#include <io.h>
#include <sys/stat.h>
#include <sys/types.h>

#undef O_RDONLY
#undef O_WRONLY
#undef O_RDWR
#define O_RDONLY (_O_RDONLY | _O_BINARY)
#define O_WRONLY (_O_WRONLY | _O_BINARY)
#define O_RDWR (_O_RDWR | _O_BINARY)

#ifndef O_CLOEXEC
#define O_CLOEXEC 0 // handles are not inherited by default
#endif
#ifndef O_NONBLOCK
#define O_NONBLOCK 0 // a regular file never blocks, and Windows has no FIFOs to open
#endif
#ifndef O_NOFOLLOW
#define O_NOFOLLOW 0
#endif
#ifndef O_DIRECTORY
#define O_DIRECTORY 0x01000000 // open() refuses it: no folder is opened to be flushed
#endif
#ifndef F_GETFL
#define F_GETFL 3
#define F_SETFL 4
#endif
#ifndef LOCK_EX
#define LOCK_SH 1
#define LOCK_EX 2
#define LOCK_NB 4
#define LOCK_UN 8
#endif

#ifdef __cplusplus
namespace quill::posixwin {
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
} // namespace quill::posixwin
using quill::posixwin::fcntl;
using quill::posixwin::flock;
using quill::posixwin::fsync;
using quill::posixwin::mkdir;
using quill::posixwin::mkdtemp;
#endif
