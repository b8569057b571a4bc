// SPDX-License-Identifier: MIT
#pragma once
// The logic of the "COM Setup" dialog: its buttons work directly on
// com_port and baud_rate, and its OK configures, opens and stores the port.

#include "platform/mainformcontrols.h"
#include "platform/messagebox.h"
#include "platform/mscomm.h"
#include "platform/settingsstore.h"
#include "shared/module1.h"

#include <string>

namespace quill {

// The dialog's option buttons, as the logic sets them up when it loads.
class ComSetupView {
  public:
    virtual ~ComSetupView() = default;
    // optPort index 0..3 (COM1..COM4)
    virtual void setPortButton(int index, const std::string& caption, bool enabled,
                               bool selected) = 0;
    // optBaud index 0 (9600) and 1 (38400)
    virtual void setBaudButton(int index, const std::string& caption, bool enabled,
                               bool selected) = 0;
};

class ComSetup {
  public:
    ComSetup(Module1& m, MSComm& port, MessageBoxes& boxes, SettingsStore& store,
             MainFormControls& mainForm);

    void Form_Load(ComSetupView& view);
    void optPort_Click(int index);
    void optBaud_Click(int index);
    // Applies, reports and stores the choice; the dialog closes afterwards
    // whatever the outcome. A port left closed (by an invalid baud rate, a
    // refused configuration or a failed open) shows "COM not set   " in the
    // port panel. Cancel has no handler here: it only closes the dialog.
    void cmdOK_Click();

  private:
    Module1& m_m;
    MSComm& m_port;
    MessageBoxes& m_boxes;
    SettingsStore& m_store;
    MainFormControls& m_form;
};

} // namespace quill
