// SPDX-License-Identifier: MIT
#pragma once
// The "Devices" dialog frmDevices: for each of COM1 to COM4 a list of the
// detected serial adapters (by description and stable by-id path), the
// COM's default device, and room to type a path. It lays out the lists and
// reads them back; DeviceBindings decides what they mean and stores them.

#include "port/devicebindings.h"

#include <QDialog>

#include <array>
#include <string>

class QComboBox;

namespace quill {

class frmDevices final : public QDialog {
    Q_OBJECT

  public:
    frmDevices(const DeviceBindings& bindings, QWidget* owner);

    // The path each list shows, COM1 first: a chosen entry's path, or the
    // text typed; empty for the default device.
    std::array<std::string, 4> chosenPaths() const;

  private:
    std::array<QComboBox*, 4> m_lists{};
};

} // namespace quill
