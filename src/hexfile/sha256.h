// SPDX-License-Identifier: MIT
#pragma once
// SHA-256 over bytes given in pieces, as the hex file is read: the
// firmware's identity costs no reading of its own.

#include <cstddef>
#include <memory>
#include <string>

namespace quill {

class Sha256 {
  public:
    Sha256();
    ~Sha256();
    Sha256(const Sha256&) = delete;
    Sha256& operator=(const Sha256&) = delete;

    // Starts afresh.
    void reset();
    void add(const void* bytes, size_t count);
    // The digest of everything added since the reset, as 64 lower-case hex
    // digits; the hash then starts afresh.
    std::string finish();

  private:
    struct Context;
    std::unique_ptr<Context> m_context;
};

} // namespace quill
