// SPDX-License-Identifier: MIT
#pragma once
// The Tracker wait dialog frmWaitCom. While it is waiting it takes no input;
// once acknowledging, its OK button (and its frame's close button) report to
// the owner through WaitDialogEvents. Any operation but close() on a closed
// dialog loads it first, with its design-time texts ("Tracker Program Error",
// "Unknown error") and condition (acknowledging).

#include <string>

namespace quill {

class WaitDialogEvents {
  public:
    virtual ~WaitDialogEvents() = default;
    virtual void frmWaitCom_cmdOK_Click() = 0;
};

class WaitDialog {
  public:
    virtual ~WaitDialog() = default;
    virtual void setEventSink(WaitDialogEvents* sink) = 0;
    virtual void load() = 0;
    // false: waiting (no input); true: acknowledging (OK can be pressed).
    virtual void setAcknowledging(bool acknowledging) = 0;
    // Returns when the dialog has been closed; events keep being delivered.
    virtual void showModal() = 0;
    // Destroys the dialog; harmless when it is not loaded.
    virtual void close() = 0;
    virtual void setMessage(const std::string& text) = 0;
};

} // namespace quill
