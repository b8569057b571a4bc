// SPDX-License-Identifier: MIT
#pragma once
// The station's own settings (Options, "Station settings..."): how long a
// device may stay silent before it fails alone, and the name of the slot
// on the line behind each port, shown large on its tile. OK keeps them in
// the window's choice, which stores them in [Station].

#include <QDialog>

#include <vector>

class QLineEdit;
class QSpinBox;

namespace quill {

class StationChoice;

class frmStationSettings final : public QDialog {
    Q_OBJECT

  public:
    frmStationSettings(StationChoice& choice, QWidget* owner);

    void accept() override;

  private:
    StationChoice& m_choice;
    QSpinBox* m_idle;
    std::vector<QLineEdit*> m_names; // one per port, in order
};

} // namespace quill
