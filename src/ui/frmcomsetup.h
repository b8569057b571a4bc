// SPDX-License-Identifier: MIT
#pragma once
// The "COM Setup" dialog frmComSetup: lays out the option buttons and
// forwards their clicks to the ComSetup logic. It is loaded afresh for each
// show and closes after OK and Cancel.

#include "port/comsetup.h"

#include <QDialog>

#include <array>

class QButtonGroup;
class QRadioButton;

namespace quill {

class frmComSetup final : public QDialog, public ComSetupView {
    Q_OBJECT

  public:
    // Centred on its owner when it has one.
    frmComSetup(ComSetup& logic, QWidget* owner);

    void setPortButton(int index, const std::string& caption, bool enabled, bool selected) override;
    void setBaudButton(int index, const std::string& caption, bool enabled, bool selected) override;

  protected:
    // Neither button is bound to Enter or Escape.
    void keyPressEvent(QKeyEvent* event) override;

  private:
    ComSetup& m_logic;
    std::array<QRadioButton*, 4> optPort{};
    std::array<QRadioButton*, 2> optBaud{};
};

} // namespace quill
