// SPDX-License-Identifier: MIT
#pragma once
// Sending the hex file to the device one record line at a time, and the end
// of a download.

#include "download/context.h"

#include <string>
#include <string_view>

namespace quill {

// Sends the next record line that is to be sent, or ends the download.
// `line` is the caller's reusable buffer. A failed write is returned, not
// reported.
PortStatus send_record(Context& c, std::string& line);

// Writes a text to the port as bytes, in one write.
PortStatus write_text(MSComm& port, std::string_view text);

// The end of a download: "Download complete", the file closed, the window idle.
void download_done(Context& c);

// Reads the whole open file once, up to its end-of-file record, before
// anything is sent. A record with a bad checksum (or a file that cannot be
// read) cancels the download here, with its message. Leaves the file at its
// beginning and returns true when the download may go on.
bool check_hex_file(Context& c, std::string& line);

} // namespace quill
