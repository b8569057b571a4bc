// SPDX-License-Identifier: MIT
#pragma once
// The station's ports as the operator names them, and what each one is
// like before a round: there, readable, free.
//
// A port may carry the name of its slot on the line: "Slot 3=/dev/ttyUSB2"
// (quill --station -p "Slot 3=/dev/ttyUSB2"). In the window's ports field
// the entries are separated by blanks, and one with a blank in it is
// quoted: "Slot 3=/dev/ttyUSB2" /dev/ttyUSB3.

#include <QString>

#include <string>
#include <vector>

namespace quill {

struct PortEntry {
    std::string name; // the slot's; empty: none
    std::string port; // COMn, a device path or rfc2217://HOST:PORT

    bool operator==(const PortEntry&) const = default;
};

// "NAME=PORT" or "PORT".
PortEntry portEntry(const std::string& word);
// The ports field's text, entries in order.
std::vector<PortEntry> portEntries(const QString& text);
// ... and back, quoted where it needs to be.
QString portEntriesText(const std::vector<PortEntry>& entries);

// A port as it is kept: a device path made absolute ("ttyUSB0" is
// /dev/ttyUSB0, "./pty3" from the working folder), so that it names the
// same device whichever folder the station starts in; COMn and a URL as
// they are.
std::string keptPort(const std::string& port);

// What a port is like now, as far as can be told without a download.
struct PortCheck {
    enum class State { Ready, Missing, NoAccess, Busy, Other, NotChecked };
    State state = State::NotChecked;
    std::string message; // the serial control's sentence, for the tooltip
};

// Checks the device behind a port. `open`: opens it for a moment to see
// whether another program holds it (which raises its modem lines); else
// only whether it is there and may be opened. A port on the network is not
// checked: its server says at the round.
PortCheck checkPort(const std::string& device, bool open);

} // namespace quill
