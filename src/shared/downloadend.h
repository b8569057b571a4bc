// SPDX-License-Identifier: MIT
#pragma once
// The bookkeeping of a download's end: which download runs, ending it at
// once, and telling the observer how it ended, exactly once per download.

#include "shared/context.h"

#include <cstdint>

namespace quill {

// Begins a download. One still running ends first, at once, as Superseded.
// Returns the new download's number.
uint32_t beginDownload(Context& c);

// True while the download numbered `id` runs: false once it has ended, and
// once another has begun.
bool stillRunning(const Context& c, uint32_t id);

// Tells how the running download ended; nothing when none runs, so only
// the first end of a download is told.
void reportEnd(Context& c, DownloadEnd end);

// Ends the running download at once, with nothing more sent and no message:
// the timer stopped, cs_off, the wait dialog closed, the phase and the
// progress bar hidden. Nothing happens when none runs.
void stopDownload(Context& c, DownloadEnd end);

} // namespace quill
