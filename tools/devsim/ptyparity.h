// SPDX-License-Identifier: MIT
#pragma once
// The parity the host set on a pseudo-terminal, as the device model hears
// it. The terminal cannot tell even parity from none; the model hears both
// alike.

#include "devsim/devicemodel.h"
#include "pty/pty.h"

namespace quill::devsim {

inline Parity heardParity(const pty::Pty& pty) {
    switch (pty.parity()) {
    case pty::Parity::Mark:
        return Parity::Mark;
    case pty::Parity::Space:
        return Parity::Space;
    case pty::Parity::Odd:
        return Parity::Odd;
    case pty::Parity::EvenOrNone:
        break;
    }
    return Parity::Even;
}

} // namespace quill::devsim
