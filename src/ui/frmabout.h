// SPDX-License-Identifier: MIT
#pragma once
// The About box frmAbout: modeless, loaded afresh each time it is shown,
// and deleted when it is closed.

#include <QDialog>

namespace quill {

class frmAbout final : public QDialog {
    Q_OBJECT

  public:
    // Parentless: an About box left open keeps the program running after
    // the main window has been closed.
    frmAbout();

    // "Version 1.0.4": major, minor and revision as plain decimals.
    static QString versionText();

  protected:
    void paintEvent(QPaintEvent* event) override;

  private:
    void Form_Load();
};

} // namespace quill
