// SPDX-License-Identifier: MIT
#pragma once
// A broken property ends the run with its reason; libFuzzer keeps the input
// that broke it.

#include <cstdio>
#include <cstdlib>

namespace quill::fuzz {

inline void require(bool holds, const char* property) {
    if (!holds) {
        std::fprintf(stderr, "property broken: %s\n", property);
        std::abort();
    }
}

} // namespace quill::fuzz
