// SPDX-License-Identifier: MIT
#pragma once
// The "Serial number" dialog frmSerial (Options, "Serial number..."):
// whether the window's downloads write a number of each unit's own into its
// image, where, how many bytes, in which form, and from which counter or
// list. Read from and kept in the settings' [Serial]; OK keeps it.

#include "platform/settingsstore.h"

#include <QDialog>

class QCheckBox;
class QComboBox;
class QLineEdit;
class QSpinBox;

namespace quill {

class frmSerial final : public QDialog {
    Q_OBJECT

  public:
    frmSerial(SettingsStore& settings, QWidget* owner);

    void accept() override;

  private:
    SettingsStore& m_settings;
    QCheckBox* m_wanted = nullptr;
    QLineEdit* m_address = nullptr;
    QSpinBox* m_size = nullptr;
    QComboBox* m_format = nullptr;
    QLineEdit* m_series = nullptr;
    QLineEdit* m_start = nullptr;
    QLineEdit* m_list = nullptr;
};

} // namespace quill
