// SPDX-License-Identifier: MIT
#pragma once
// The Windows build's stand-in for <dlfcn.h>: the portable sources look up
// an optional function of a library that Linux may have loaded (libpq's
// notice processor); on Windows there is none to find, and they do without.

#define RTLD_NOW 2
#define RTLD_NOLOAD 4

inline void* dlopen(const char* /*file*/, int /*mode*/) {
    return nullptr;
}

inline void* dlsym(void* /*library*/, const char* /*name*/) {
    return nullptr;
}
