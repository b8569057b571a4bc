// SPDX-License-Identifier: MIT
#pragma once
// The History window's texts beside those in uitexts.h: the Yield tab's
// units and the Ports tab.

namespace quill::text {

// The Yield tab's totals and each bar's, said as every view says them
// (history/unityield.h), what is counted apart after a semicolon: "Units
// 120: first pass 110 (91.7%), final 118 (98.3%); 7 not started, 2 stopped".
inline constexpr const char* YieldApart = "; ";
inline constexpr const char* YieldPercentOf = "%1%";
// The parts of a bar, by how its units ended.
inline constexpr const char* YieldPassed = "complete at first pass";
inline constexpr const char* YieldRetried = "complete after retry";
inline constexpr const char* YieldFailed = "failed";

// The Ports tab: failures per port and adapter, the worst first.
inline constexpr const char* HistoryPortsTab = "Ports";
inline constexpr const char* PortsHeaderPort = "Port";
inline constexpr const char* PortsHeaderAdapter = "Adapter";
inline constexpr const char* PortsHeaderUnits = "Units/attempts";
inline constexpr const char* PortsHeaderFailed = "Failed";
inline constexpr const char* PortsHeaderRate = "Failure rate";
inline constexpr const char* PortsHeaderCommonest = "Most common failure";
inline constexpr const char* PortsHeaderNotStarted = "Not started";

} // namespace quill::text
