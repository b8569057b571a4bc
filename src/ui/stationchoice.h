// SPDX-License-Identifier: MIT
#pragma once
// What the station window downloads, and where: the ports (named as for
// quill-cli, separated by blanks), baud rate, device, file and batch. Kept
// in the settings file, section [Station], and offered next time; a
// command line's choice (quill --station ...) takes their place.
//
// A port may carry its slot's name, NAME=PORT (quoted when the name has a
// blank); a device path is kept absolute. The idle limit is the station's
// setting (Options, "Station settings...").
//
//     [Station]
//     PORTS="Slot 1=/dev/ttyUSB0" /dev/ttyUSB1 COM3
//     IDLE=60
//     BAUD=38400
//     DEVICE=manual
//     FILE=/srv/fw/app.hex
//     BATCH=2026-W49

#include "platform/settingsstore.h"
#include "recipe/recipe.h"
#include "run/runrequest.h"
#include "ui/stationports.h"

#include <QWidget>

#include <optional>
#include <string>
#include <vector>

class QComboBox;
class QLineEdit;
class QPushButton;

namespace quill {

class StationChoice final : public QWidget {
    Q_OBJECT

  public:
    explicit StationChoice(QWidget* parent);

    void load(const SettingsStore& store);
    void save(SettingsStore& store) const;
    // What a command line gave: ports, baud rate, device, file and batch
    // each where given.
    void apply(const RunRequest& given);

    // A request of the window program for what is chosen.
    RunRequest request() const;
    // The ports, kept as stored (absolute), in order; with their slots' names.
    std::vector<std::string> ports() const;
    std::vector<PortEntry> keptEntries() const;
    void setSlotNames(const std::vector<std::string>& names);
    int idleLimit() const { return m_idleLimit; }
    void setIdleLimit(int seconds) { m_idleLimit = seconds; }

    // The file dialog, for the window's File, "Open firmware...".
    void chooseFile();

    // A work order's recipe fixes the file, the baud rate and the device:
    // they show its values and take no input. None: the choice as it was
    // before, which is also what is kept. No signal is sent either way.
    void fixTo(const Recipe* recipe);

  signals:
    void portsChanged();
    void fileChanged();
    void lineChanged(); // the baud rate, the device or the batch

  private:
    QLineEdit* txtPorts;
    QComboBox* cboBaud;
    QComboBox* cboDevice;
    QLineEdit* txtFile;
    QPushButton* cmdFile;
    QLineEdit* txtBatch;
    int m_idleLimit = defaultIdleTimeoutSeconds;
    // The station's own choice while a recipe's shows.
    struct Free {
        int baud = 0; // the boxes' indexes
        int device = 0;
        QString file;
    };
    std::optional<Free> m_free;
};

} // namespace quill
