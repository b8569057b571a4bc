// SPDX-License-Identifier: MIT
#pragma once
// Sending the hex file to the device one record line at a time, and the
// end of a download.

#include "hexfile/filecheck.h"
#include "shared/context.h"

#include <cstdint>
#include <string>
#include <string_view>

namespace quill {

// Sends the next record line that is to be sent, or ends the download. A
// file that no longer is the one checked ends it too. `line` is the
// caller's reusable buffer. A failed write is returned, not reported.
PortStatus send_record(Context& c, std::string& line, const CheckedFile& checked);

// Writes a text to the port as bytes, in one write.
PortStatus writeText(MSComm& port, std::string_view text);

// The end of a download: "Download complete", the file closed, the window idle.
void download_done(Context& c);

// Ends the download with `message` and tells `end`, without "Download
// complete". The state is set first, so that nothing the device sends while
// the box is open can release another record.
void cancelDownload(Context& c, const std::string& message, DownloadEnd end);

} // namespace quill
