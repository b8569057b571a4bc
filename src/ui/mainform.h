// SPDX-License-Identifier: MIT
#pragma once
// The main window MainForm: "Start Download", the phase message, the
// progress bar, the two status bars and the menus. It lays out the controls,
// forwards their events to the core and is the core's view of them.

#include "lock/windowlock.h"
#include "platform/settingsstore.h"
#include "port/comsetup.h"
#include "port/startup.h"
#include "run/runrequest.h"
#include "shared/context.h"
#include "ui/qtfiledialog.h"

#include <QMainWindow>
#include <QPointer>

#include <array>
#include <functional>
#include <string>

class QAction;
class QLabel;
class QProgressBar;
class QPushButton;

namespace quill {

class Downloader;
class frmAbout;
class frmHistory;
class frmStation;

class MainForm final : public QMainWindow, public MainFormControls, public DeviceMenu {
    Q_OBJECT

  public:
    // What the window works on; owned by the application.
    struct World {
        Module1& m;
        MSComm& MSComm1;
        Timer& Timer1;
        MessageBoxes& boxes;
        WaitDialog& frmWaitCom;
        HexFileSource& file1;
        SettingsStore& store;
        DownloadObserver* observer = nullptr; // told how each download ends
    };

    // cmdline: the command-line arguments after the program's name.
    MainForm(World world, std::string cmdline);
    ~MainForm() override;

    // The download's world, with this window as its controls.
    Context context();
    void setDownloader(Downloader* downloader) { m_downloader = downloader; }
    // Runs at "Start Download", before the download's own handler.
    void setStartHook(std::function<void()> hook) { m_startHook = std::move(hook); }
    // Tells what a file is (its identity) for the tooltip of the file's
    // panel, later, through `show`, on this thread.
    using FileTip =
        std::function<void(const std::string& path, std::function<void(std::string)> show)>;
    void setFileTip(FileTip tip) { m_fileTip = std::move(tip); }
    // The tooltip of the file's panel, while a file is shown there.
    void showFileTip(const std::string& tip);
    // The serial number written into the unit of the running download, in
    // a panel of its own; empty: the panel goes.
    void showSerial(const std::string& serial);
    // Options, "Serial number...": the dialog, modal, owned by `owner`
    // (null: this window).
    void showSerialNumber(QWidget* owner = nullptr);

    // Prepares the controls and applies the command line; runs before the
    // window is first shown.
    void Form_Load();
    // The "COM Setup" dialog, modal; owner null means none.
    void showComSetup(QWidget* owner);
    // The "Devices" dialog, modal: binds COM1 to COM4 to serial devices.
    void showDevices();
    // The station window, modeless, one at a time; `given`: what a command
    // line chose for it.
    void showStation(const RunRequest& given = {});
    // "Unlock...": the engineer's password, modal, owned by `owner` (null:
    // this window). What a locked station lets run is asked of lock().
    void showUnlock(QWidget* owner = nullptr);
    const WindowLock& lock() const { return m_lock; }

    // MainFormControls
    void setLblMsgVisible(bool visible) override;
    void setLblMsgCaption(const std::string& caption) override;
    void setPrbVisible(bool visible) override;
    void setPrbMin(float value) override;
    void setPrbMax(float value) override;
    float prbMax() const override { return m_prbMax; }
    void setPrbValue(float value) override;
    void setCmdStartEnabled(bool enabled) override;
    void cmdStartSetFocus() override;
    void setPanelText(int panel, const std::string& text) override;
    void setPanelMinWidth(int panel, int twips) override;

    // DeviceMenu
    void setManualChecked(bool checked) override;
    void setTrackerChecked(bool checked) override;

  protected:
    // The unload: port and baud rate are stored.
    void closeEvent(QCloseEvent* event) override;
    void dragEnterEvent(QDragEnterEvent* event) override;
    void dropEvent(QDropEvent* event) override;

  private:
    void createControls();
    void createMenus();
    void showProgress();
    void mnuAbout_Click();
    void mnuFileHistory_Click();
    void showLocked(); // in the title

    World m_w;
    WindowLock m_lock;
    std::string m_cmdline;
    ComSetup m_comSetup;
    QtFileDialog CommonDialog1;
    Downloader* m_downloader = nullptr;
    std::function<void()> m_startHook;
    FileTip m_fileTip;
    unsigned m_tipAsked = 0; // counts the files the tooltip was asked for
    QPointer<frmAbout> m_about;
    QPointer<frmHistory> m_history;
    QPointer<frmStation> m_station;

    QPushButton* cmdStart = nullptr;
    QLabel* lblMsg = nullptr;
    QProgressBar* prbFilePos = nullptr;
    std::array<QLabel*, 2> m_panels{}; // sbStatus panels 1 and 2
    QLabel* m_serialPanel = nullptr;   // ours, beside them, while a unit has a number
    QAction* mnuDeviceDefault = nullptr;
    QAction* mnuDeviceTracker = nullptr;

    // prbFilePos in the core's single-precision values.
    float m_prbMin = 0;
    float m_prbMax = 100;
    float m_prbValue = 0;
};

} // namespace quill
