// SPDX-License-Identifier: MIT
#pragma once
// quill-cli's own texts. The download's messages are the system's, shown
// as they stand (see downloadtexts.h and hexfiletexts.h).

namespace quill::cli::text {

inline constexpr const char* ProgramName = "quill-cli";
// The settings store is the window program's, so both share port and baud rate.
inline constexpr const char* SettingsApplication = "quill";

inline constexpr const char* PromptChoices = " [y/N] ";
inline constexpr const char* PromptAnsweredByOption = "y (--yes)";
// A question answered by the command line: "y (" option ")", or "n (give "
// option " to download it)".
inline constexpr const char* RiskAcceptedPrefix = "y (";
inline constexpr const char* RiskAcceptedSuffix = ")";
inline constexpr const char* RiskRefusedPrefix = "n (give ";
inline constexpr const char* RiskRefusedSuffix = " to download it)";
inline constexpr const char* PromptNeedsTerminal =
    "the Manual device prompt needs a terminal on standard input; give --yes to answer OK";

// Several ports in one run.
inline constexpr const char* PortGivenTwice = " is given more than once";

// --list-ports, and the ports listed after one that could not be opened.
inline constexpr const char* PortsHeading = "Serial ports found:\n";
inline constexpr const char* NoPortsFound = "No serial ports were found on this machine.\n";
inline constexpr const char* ComHeading = "COM1 to COM4 (settings section PortNames):\n";
inline constexpr const char* FromPortNames = "  [PortNames]";
inline constexpr const char* DefaultDevice = "  [default]";
inline constexpr const char* NetworkPortsNote =
    "\nPorts on the network are not discovered: name one by its URL, rfc2217://HOST:PORT, "
    "with --port or under PortNames.\n";
inline constexpr const char* CandidatesHeading =
    "Serial ports on this machine (quill-cli --list-ports says more):\n";

// --check-port.
inline constexpr const char* CheckHeading = "Adapter check of ";
inline constexpr const char* CheckPseudoTerminal =
    " is a pseudo-terminal: even parity and no parity cannot be told apart there.\n";
inline constexpr const char* CheckVerdictGood =
    "Verdict: good: mark and even parity hold at 9600 and 38400, as Manual and Tracker "
    "downloads need.\n";
inline constexpr const char* CheckVerdictBadPrefix = "Verdict: not usable as it is: ";
inline constexpr const char* CheckNeitherWorks =
    "Manual and Tracker downloads need mark parity; use another adapter.\n";
inline constexpr const char* CheckTrackerFails =
    "Tracker downloads need even parity; Manual downloads may work.\n";
inline constexpr const char* CheckNetwork =
    " is a port on the network: the read-back is what its server answered.\n";

// After a run on several ports with failures, before the command.
inline constexpr const char* RetryFailed = "To download again to the ports that failed:\n  ";

// --history: after the rows that wait in the journal, since when.
inline constexpr const char* WaitingSince = ", the oldest since ";

// --history --since with what is not a date.
inline constexpr const char* BadSince =
    "--since needs a date such as 2026-12-06 or 2026-12-06T14:30, not ";

// --repeat.
inline constexpr const char* NextDevice = "Connect the next device and press Enter (Ctrl+D ends)";
inline constexpr const char* PromptAnsweredByEnter = "y (Enter)";
inline constexpr const char* Round = "Round ";

// --recipe and --work-order.
inline constexpr const char* RecipeTakesNoFile =
    "--recipe and --work-order take no hex file: the firmware is the recipe's, from the history";
inline constexpr const char* WorkOrderNeedsName = "--work-order needs the order's name";

// --recipes, --recipe-show, --work-orders: the captions, and what is not there.
inline constexpr const char* RecipeCaptions[] = {"NAME", "VERSION",         "STATE", "SHA-256",
                                                 "SIZE", "PUBLISHED (UTC)", "NOTE"};
inline constexpr const char* OrderCaptions[] = {"ORDER",       "RECIPE",    "QUANTITY", "DONE",
                                                "IN PROGRESS", "REMAINING", "STATE"};
inline constexpr const char* NoRecipes = "The history holds no recipes.\n";
inline constexpr const char* NoOrders = "The history holds no work orders.\n";
inline constexpr const char* NoSuchOrder = "no work order ";

} // namespace quill::cli::text
