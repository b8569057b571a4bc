// SPDX-License-Identifier: MIT
#pragma once
// Texts of a serial port reached over the network: the errors, each naming
// the port or the server, and the notes on what the server did. Pieces are
// joined around the port's name, the server's HOST:PORT and the values.

namespace quill::text {

// Errors of the open: "Cannot open " port, then one of these.
inline constexpr const char* NetCannotOpen = "Cannot open ";
inline constexpr const char* NetBadUrl = ": a network port is named rfc2217://HOST:PORT.";
inline constexpr const char* NetRefused =
    ": the server refused the connection. Check that it runs and listens on that port.";
inline constexpr const char* NetHostNotFound = ": the host was not found.";
inline constexpr const char* NetConnectTimeout =
    ": the server did not accept the connection within 5 seconds.";
inline constexpr const char* NetConnectFailed = ": ";

// "The server at " HOST:PORT, then one of these.
inline constexpr const char* NetServerAt = "The server at ";
inline constexpr const char* NetNoComPort = " does not offer serial port control (RFC 2217)";
inline constexpr const char* NetNoBinary = " does not offer binary mode (Telnet option 0).";
inline constexpr const char* NetClosedOnOpen = " closed the connection.";
inline constexpr const char* NetClosedSaying = " closed the connection: ";
inline constexpr const char* NetFlooded =
    " sent more than quill can hold without reading it: the connection was closed. Check the "
    "server and what talks to it.";
// ... " set " answered " " setting " when " asked " was asked", and a full stop.
inline constexpr const char* NetSet = " set ";
inline constexpr const char* NetWhen = " when ";
inline constexpr const char* NetWasAsked = " was asked";
// ... " did not answer the request for " setting " in time."
inline constexpr const char* NetNoAnswer = " did not answer the request for ";
inline constexpr const char* NetInTime = " in time.";

// The settings as the errors and notes name them.
inline constexpr const char* NetBaud = "baud";
inline constexpr const char* NetDataBits = "data bits";
inline constexpr const char* NetParity = "parity";
inline constexpr const char* NetStopBits = "stop bits";
inline constexpr const char* NetFlowOut = "outgoing flow control";
inline constexpr const char* NetFlowIn = "incoming flow control";
inline constexpr const char* NetPurge = "discarding received data";
inline constexpr const char* NetParityNames[] = {"NONE", "ODD", "EVEN", "MARK", "SPACE"};
inline constexpr const char* NetStopNames[] = {"1", "2", "1.5"};
inline constexpr const char* NetFlowNames[] = {"NONE", "XON/XOFF", "HARDWARE"};
inline constexpr const char* NetCode = "code ";

// Operations on the open port: port, then one of these.
inline constexpr const char* NetNotOpen = " is not open.";
inline constexpr const char* NetWriteFailed = "Could not write to ";

// An open port whose connection ends: "The connection to " port this.
inline constexpr const char* NetLostPrefix = "The connection to ";
inline constexpr const char* NetLost =
    " was lost: the server closed it. Check the server and the network, then open the port "
    "again.";
// ... or was closed: the server sent more than could be held.
inline constexpr const char* NetLostFlooded =
    " was closed: the server sent more than quill can hold without reading it. Check the "
    "server and what talks to it.";

// Notes on what the server did, for the wire trace.
inline constexpr const char* NetNoteConnected = "Connected to ";
inline constexpr const char* NetNoteNegotiated =
    "The server agreed to binary mode and serial port control";
inline constexpr const char* NetNoteSettings = "The server set ";
inline constexpr const char* NetNotePurged = "The server discarded the data it had received";
inline constexpr const char* NetNoteReconnect =
    ", right after MARK: a known fault of ser2net 4.3; reconnecting to apply the settings afresh";

} // namespace quill::text
