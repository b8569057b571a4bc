// SPDX-License-Identifier: MIT
#include "ui/mainform.h"

#include "download/downloader.h"
#include "hexfile/fileselect.h"
#include "history/historylocation.h"
#include "port/devicebindings.h"
#include "port/portcontrol.h"
#include "port/porttexts.h"
#include "qt/portnames.h"
#include "qt/portscan.h"
#include "qt/serialcontrol.h"
#include "shared/sharedtexts.h"
#include "ui/frmabout.h"
#include "ui/frmcomsetup.h"
#include "ui/frmdevices.h"
#include "ui/frmhistory.h"
#include "ui/frmserial.h"
#include "ui/frmstation.h"
#include "ui/qtmessageboxes.h"
#include "ui/twips.h"
#include "ui/uitexts.h"

#include <QCloseEvent>
#include <QDir>
#include <QFileInfo>
#include <QLabel>
#include <QMenuBar>
#include <QMimeData>
#include <QProgressBar>
#include <QPushButton>
#include <QScreen>
#include <QStatusBar>
#include <QUrl>
#include <QVBoxLayout>

#include <algorithm>
#include <cmath>

namespace quill {

namespace {

// prbFilePos runs over a fixed integer range: a range of 0..0 would turn a
// QProgressBar into a busy indicator.
constexpr int progressSteps = 10000;

// Bottom-aligned bars, in twips.
constexpr int statusBar1Height = 30;
constexpr int barHeight = 255;

// The local files of a drop, as the portable code holds a path (UTF-8); empty when the
// drop is not a file list (a text, say).
std::vector<std::string> localFiles(const QMimeData* data) {
    std::vector<std::string> files;
    for (const QUrl& url : data->urls()) {
        if (url.isLocalFile()) {
            files.push_back(QDir::toNativeSeparators(url.toLocalFile()).toStdString());
        }
    }
    return files;
}

// Whether the file choice will take the drop: its first file is a regular
// file that can be opened for reading. Asked of the file system without
// opening anything, so the drag source gets its answer at once.
bool dropIsUsed(const std::vector<std::string>& files) {
    if (files.empty()) {
        return false;
    }
    const QFileInfo first(QString::fromStdString(files.front()));
    return first.isFile() && first.isReadable();
}

} // namespace

MainForm::MainForm(World world, std::string cmdline)
    : m_w(world), m_lock(lockStateOf(world.store.fixedSettings())), m_cmdline(std::move(cmdline)),
      m_comSetup(world.m, world.MSComm1, world.boxes, world.store, *this) {
    setObjectName(QStringLiteral("MainForm"));
    showLocked();
    // Files dropped on the window go to the file choice, which decides.
    setAcceptDrops(true);
    createControls();
    createMenus();
    // The client area lies below the menu bar.
    resize(px(6375), px(2250) + menuBar()->sizeHint().height());
    move(screen()->availableGeometry().center() - rect().center());
}

MainForm::~MainForm() {
    if (m_about) {
        m_about->close();
    }
    if (m_history) {
        m_history->close();
    }
    delete m_station.data(); // at once: it works on the settings store
}

Context MainForm::context() {
    return Context{m_w.m,          m_w.MSComm1, m_w.Timer1, m_w.boxes,
                   m_w.frmWaitCom, m_w.file1,   *this,      m_w.observer};
}

void MainForm::createControls() {
    auto* client = new QWidget(this);
    auto* top = new QWidget(client);

    // Created in tab order.
    cmdStart = new QPushButton(qtext(text::StartDownload), top);
    cmdStart->setObjectName(QStringLiteral("cmdStart"));
    cmdStart->setGeometry(twipsRect(120, 840, 1335, 375));
    fitCaption(cmdStart);
    connect(cmdStart, &QPushButton::clicked, this, [this] {
        if (m_downloader != nullptr) {
            // A file of the operator's choosing: a free run.
            if (const auto refused = m_lock.refusal(RunRequest{})) {
                m_w.boxes.MsgBox(*refused, MsgButtons::Ok, MsgIcon::Exclamation);
                return;
            }
            if (m_startHook) {
                m_startHook();
            }
            m_downloader->cmdStart_Click();
        }
    });

    prbFilePos = new QProgressBar(client);
    prbFilePos->setObjectName(QStringLiteral("prbFilePos"));
    prbFilePos->setTextVisible(false);
    prbFilePos->setRange(0, progressSteps);
    prbFilePos->setFixedHeight(px(barHeight));

    auto* sbStatus = new QStatusBar(client);
    sbStatus->setObjectName(QStringLiteral("sbStatus"));
    // The designed height is the least: a larger font gets the height its
    // descenders need.
    sbStatus->setMinimumHeight(px(barHeight));
    sbStatus->setSizePolicy(QSizePolicy::Preferred, QSizePolicy::Fixed);
    for (size_t i = 0; i < m_panels.size(); ++i) {
        m_panels[i] = new QLabel(sbStatus);
        m_panels[i]->setObjectName(QStringLiteral("Panel%1").arg(i + 1));
        // A path is shown as typed, "<b>" and all.
        m_panels[i]->setTextFormat(Qt::PlainText);
        m_panels[i]->setFrameStyle(QFrame::Panel | QFrame::Sunken);
        // A panel sizes itself to its text.
        m_panels[i]->setSizePolicy(QSizePolicy::Fixed, QSizePolicy::Preferred);
        sbStatus->addWidget(m_panels[i]);
    }
    m_serialPanel = new QLabel(sbStatus);
    m_serialPanel->setObjectName(QStringLiteral("PanelSerial"));
    m_serialPanel->setTextFormat(Qt::PlainText);
    m_serialPanel->setFrameStyle(QFrame::Panel | QFrame::Sunken);
    m_serialPanel->hide();
    sbStatus->addWidget(m_serialPanel);

    // A thin strip above the progress bar; nothing uses it.
    auto* statusBar1 = new QFrame(client);
    statusBar1->setObjectName(QStringLiteral("StatusBar1"));
    statusBar1->setFrameStyle(QFrame::Panel | QFrame::Sunken);
    statusBar1->setFixedHeight(px(statusBar1Height));

    lblMsg = new QLabel(qtext(text::Message), top);
    lblMsg->setObjectName(QStringLiteral("lblMsg"));
    lblMsg->setTextFormat(Qt::PlainText);
    lblMsg->setGeometry(twipsRect(1680, 840, 4575, 255));
    lblMsg->setAlignment(Qt::AlignLeft | Qt::AlignTop);
    fitCaption(lblMsg);

    // The bars span the width and stay glued to the bottom edge.
    auto* layout = new QVBoxLayout(client);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(0);
    layout->addWidget(top, 1);
    layout->addWidget(statusBar1);
    layout->addWidget(prbFilePos);
    layout->addWidget(sbStatus);
    setCentralWidget(client);
}

void MainForm::Form_Load() {
    Module1& m = m_w.m;
    m.hex_file_open = false;
    m.hex_file_name.clear();
    prbFilePos->hide();
    lblMsg->hide();
    // The probe fills the port table that the command line's port is checked against.
    probe_ports(m, m_w.MSComm1);
    process_cmd(m, m_cmdline);
    cmdStart->setEnabled(false);
    setPanelMinWidth(1, 15);
    setPanelText(1, text::ComNotSet);
    set_device(m, *this, m.device_type);
}

void MainForm::showComSetup(QWidget* owner) {
    frmComSetup dialog(m_comSetup, owner);
    // Each COM option names the device behind it.
    const std::vector<DetectedPort> detected = detectPorts();
    const PortResolver resolve = defaultPortResolver(m_w.store);
    for (int16_t n = 1; n <= 4; ++n) {
        if (auto* option = dialog.findChild<QWidget*>(QStringLiteral("optPort%1").arg(n - 1))) {
            option->setToolTip(QString::fromStdString(describeDevice(resolve(n), detected)));
        }
    }
    dialog.exec();
}

void MainForm::showStation(const RunRequest& given) {
    if (!m_station) {
        m_station = new frmStation(m_w.store, given);
        // Its menus show what this window's do.
        connect(m_station, &frmStation::historyAsked, this, &MainForm::mnuFileHistory_Click);
        connect(m_station, &frmStation::aboutAsked, this, &MainForm::mnuAbout_Click);
        connect(m_station, &frmStation::serialNumberAsked, this,
                [this] { showSerialNumber(m_station); });
        connect(m_station, &frmStation::unlockAsked, this, [this] { showUnlock(m_station); });
        m_station->setLock(&m_lock);
        showLocked();
    }
    m_station->show();
    m_station->raise();
    m_station->activateWindow();
}

void MainForm::showDevices() {
    DeviceBindings bindings(m_w.store, detectPorts(),
                            [](int n) { return defaultDeviceName(static_cast<int16_t>(n)); });
    frmDevices dialog(bindings, this);
    if (dialog.exec() == QDialog::Accepted) {
        // The ports whose device changed are tried again, so that COM Setup
        // offers them at once; on a control of their own, since the
        // program's port may be open.
        SerialControl probe(defaultPortResolver(m_w.store));
        reprobe_ports(m_w.m, probe, bindings.apply(dialog.chosenPaths()));
    }
}

void MainForm::mnuAbout_Click() {
    // One box: a second "About" brings the open one forward.
    if (!m_about) {
        m_about = new frmAbout(); // deletes itself when closed
    }
    m_about->show();
    m_about->raise();
    m_about->activateWindow();
}

void MainForm::mnuFileHistory_Click() {
    // One window: a second "History..." brings the open one forward.
    if (!m_history) {
        m_history = new frmHistory(historyLocation(m_w.store)); // deletes itself when closed
    }
    m_history->show();
    m_history->raise();
    m_history->activateWindow();
}

// The History window goes with the program's window; an open About box
// keeps the program running. A download going on is stopped only when
// the user says so; cstate is read again after the question, which nests.
void MainForm::closeEvent(QCloseEvent* event) {
    const auto downloading = [this] {
        return m_w.m.cstate != cs_off && m_w.m.cstate != cs_file_done;
    };
    if (downloading() && !askStopAndClose(this, 1)) {
        event->ignore();
        return;
    }
    if (downloading() && m_downloader != nullptr) {
        m_downloader->stopDownload(DownloadEnd::Interrupted);
    }
    save_settings(m_w.m, m_w.store);
    if (m_history) {
        m_history->close();
    }
    event->accept();
}

// A file list is let in as a copy: the drag source must never delete what
// it offered. Anything else (a text from an editor, say) is refused.
void MainForm::dragEnterEvent(QDragEnterEvent* event) {
    if (!localFiles(event->mimeData()).empty() &&
        (event->possibleActions() & Qt::CopyAction) != 0) {
        event->setDropAction(Qt::CopyAction);
        event->accept();
    } else {
        event->ignore();
    }
}

void MainForm::dropEvent(QDropEvent* event) {
    const std::vector<std::string> files = localFiles(event->mimeData());
    if (files.empty() || (event->possibleActions() & Qt::CopyAction) == 0) {
        event->ignore();
        return; // not a file list, or one that may only be moved: nothing happens
    }
    // The drag source learns now, before the file is taken over below,
    // whether the drop was used. A file that will not open is refused, so
    // the source keeps it; the file choice still reports it.
    if (dropIsUsed(files)) {
        event->setDropAction(Qt::CopyAction);
        event->accept();
    } else {
        event->ignore();
    }
    // Taken over once the drop has finished: opening the file may show a
    // modal box, which must not run inside the drag-and-drop machinery.
    QMetaObject::invokeMethod(
        this,
        [this, files] {
            Context c = context();
            Form_OLEDragDrop(c, files);
        },
        Qt::QueuedConnection);
}

void MainForm::setLblMsgVisible(bool visible) {
    lblMsg->setVisible(visible);
}

void MainForm::setLblMsgCaption(const std::string& caption) {
    lblMsg->setText(QString::fromStdString(caption));
    fitCaption(lblMsg);
}

void MainForm::setPrbVisible(bool visible) {
    prbFilePos->setVisible(visible);
}

void MainForm::setPrbMin(float value) {
    m_prbMin = value;
    showProgress();
}

void MainForm::setPrbMax(float value) {
    m_prbMax = value;
    showProgress();
}

void MainForm::setPrbValue(float value) {
    m_prbValue = value;
    showProgress();
}

// A value beyond the maximum shows the bar full; an empty range (an empty
// file) shows it empty until a value beyond it comes.
void MainForm::showProgress() {
    double fraction = m_prbValue > m_prbMax ? 1.0 : 0.0;
    if (m_prbMax > m_prbMin) {
        fraction = (double{m_prbValue} - m_prbMin) / (double{m_prbMax} - m_prbMin);
    }
    fraction = std::clamp(fraction, 0.0, 1.0);
    prbFilePos->setValue(static_cast<int>(std::lround(fraction * progressSteps)));
}

void MainForm::setCmdStartEnabled(bool enabled) {
    cmdStart->setEnabled(enabled);
}

void MainForm::cmdStartSetFocus() {
    cmdStart->setFocus();
}

void MainForm::setPanelText(int panel, const std::string& text) {
    if (panel >= 1 && panel <= static_cast<int>(m_panels.size())) {
        // Panel 2 shows a path, held as UTF-8.
        QLabel* shown = m_panels[static_cast<size_t>(panel - 1)];
        shown->setText(QString::fromStdString(text));
        // The chosen file's identity, until the download's end clears the
        // panel. It comes later: the file is read off this thread.
        if (panel == 2) {
            shown->setToolTip(QString());
            const unsigned asked = ++m_tipAsked;
            if (m_fileTip && text.find_first_not_of(' ') != std::string::npos) {
                m_fileTip(m_w.m.hex_file_name, [this, asked](const std::string& tip) {
                    if (asked == m_tipAsked) {
                        showFileTip(tip);
                    }
                });
            }
        }
    }
}

void MainForm::showFileTip(const std::string& tip) {
    ++m_tipAsked; // an answer still on its way is older
    m_panels[1]->setToolTip(QString::fromStdString(tip));
}

void MainForm::showSerial(const std::string& serial) {
    m_serialPanel->setText(qtext(text::SerialPanel) + QString::fromStdString(serial));
    m_serialPanel->setVisible(!serial.empty());
}

void MainForm::showSerialNumber(QWidget* owner) {
    frmSerial dialog(m_w.store, owner != nullptr ? owner : this);
    dialog.exec();
}

void MainForm::setPanelMinWidth(int panel, int twips) {
    if (panel >= 1 && panel <= static_cast<int>(m_panels.size())) {
        m_panels[static_cast<size_t>(panel - 1)]->setMinimumWidth(px(twips));
    }
}

void MainForm::setManualChecked(bool checked) {
    mnuDeviceDefault->setChecked(checked);
}

void MainForm::setTrackerChecked(bool checked) {
    mnuDeviceTracker->setChecked(checked);
}

} // namespace quill
