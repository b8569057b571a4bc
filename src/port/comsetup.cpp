// SPDX-License-Identifier: MIT
#include "port/comsetup.h"

#include "port/portcontrol.h"
#include "port/porttexts.h"
#include "shared/linesettings.h"
#include "shared/sharedtexts.h"

namespace quill {

namespace {

constexpr int portButtons = 4;
constexpr int32_t baudOf[] = {9600, 38400};
const char* const baudCaption[] = {text::Baud9600, text::Baud38400};

} // namespace

ComSetup::ComSetup(Module1& m, MSComm& port, MessageBoxes& boxes, SettingsStore& store,
                   MainFormControls& mainForm)
    : m_m(m), m_port(port), m_boxes(boxes), m_store(store), m_form(mainForm) {}

// Selecting a button here would raise its Click with the value the global
// already holds, so loading changes no global. A stored port that is absent
// on this run shows selected but disabled.
void ComSetup::Form_Load(ComSetupView& view) {
    for (int i = 0; i < portButtons; ++i) {
        const int16_t port = static_cast<int16_t>(i + 1);
        view.setPortButton(i, text::PortPrefix + std::to_string(port), m_m.port_present[port],
                           m_m.com_port == port);
    }
    for (int i = 0; i < 2; ++i) {
        view.setBaudButton(i, baudCaption[i], true, m_m.baud_rate == baudOf[i]);
    }
}

void ComSetup::optPort_Click(int index) {
    m_m.com_port = static_cast<int16_t>(index + 1);
}

void ComSetup::optBaud_Click(int index) {
    m_m.baud_rate = index == 0 ? baudOf[0] : baudOf[1];
}

void ComSetup::cmdOK_Click() {
    bool accepted = true;

    if (is_valid_port(m_m, m_m.com_port)) {
        if (m_port.portOpen()) {
            m_port.setPortOpen(false);
        }
        m_port.setCommPort(m_m.com_port);
    } else {
        // The port stays as it was, open or closed, on its old number.
        m_boxes.MsgBox(text::ComPortNotValid);
        accepted = false;
    }

    if (is_valid_baud(m_m.baud_rate)) {
        // Manual devices listen at mark parity, the Tracker at even parity;
        // options 2 and 3 keep the text built last (empty text keeps the
        // control's configuration).
        if (m_m.device_type == device_manual) {
            m_m.com_settings = lineSettings(m_m.baud_rate, 'M');
        } else if (m_m.device_type == device_tracker) {
            m_m.com_settings = lineSettings(m_m.baud_rate, 'E');
        }
        if (const PortStatus error = m_port.setSettings(m_m.com_settings)) {
            // Some adapters cannot do mark parity.
            m_boxes.MsgBox(std::string(text::SetupSettingsFailed) + "\r" + error->text);
            accepted = false;
        }
    } else {
        m_boxes.MsgBox(text::BaudNotValid);
        accepted = false;
    }

    if (accepted) {
        // The probe opened this port at start-up, but another program may
        // have taken it since.
        if (const PortStatus error = m_port.setPortOpen(true)) {
            m_boxes.MsgBox(std::string(text::SetupOpenFailed) + "\r" + error->text);
            accepted = false;
        }
    }

    if (!accepted) {
        // Step 2 may have closed the port; the panel must not go on naming
        // it as if it were open.
        if (!m_port.portOpen()) {
            m_form.setPanelText(1, text::ComNotSet);
        }
        return;
    }

    // A port on the network shows its URL, as the user gave it.
    const std::string port = m_port.selectedOnNetwork()
                                 ? m_port.portDisplayName()
                                 : text::PortPrefix + std::to_string(m_m.com_port);
    m_form.setPanelText(1, port + text::PortPanelSeparator + std::to_string(m_m.baud_rate) +
                               text::PortPanelTail);
    m_store.SaveSetting(text::SectionPort, text::KeyCom, std::to_string(m_m.com_port));
    m_store.SaveSetting(text::SectionPort, text::KeyBaud, std::to_string(m_m.baud_rate));
}

} // namespace quill
