// SPDX-License-Identifier: MIT
#include "ui/stationchoice.h"

#include "shared/module1.h"
#include "shared/report.h"
#include "ui/stationports.h"
#include "ui/uitexts.h"

#include <QComboBox>
#include <QFileDialog>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QSignalBlocker>

namespace quill {

namespace {

constexpr const char* section = "Station";
constexpr const char* keyPorts = "PORTS";
constexpr const char* keyBaud = "BAUD";
constexpr const char* keyDevice = "DEVICE";
constexpr const char* keyFile = "FILE";
constexpr const char* keyBatch = "BATCH";
constexpr const char* keyIdle = "IDLE";

constexpr int32_t bauds[] = {9600, 38400};

// A path as the portable code holds it (UTF-8: on Linux the file system's bytes,
// on Windows not the code page), and back.
std::string bytesOf(const QString& path) {
    return path.toStdString();
}
QString pathOf(const std::string& bytes) {
    return QString::fromStdString(bytes);
}

QLineEdit* edit(QWidget* parent, const char* name, const char* hint = nullptr) {
    auto* e = new QLineEdit(parent);
    e->setObjectName(QString::fromLatin1(name));
    if (hint != nullptr) {
        e->setPlaceholderText(qtext(hint));
    }
    return e;
}

} // namespace

StationChoice::StationChoice(QWidget* parent) : QWidget(parent) {
    setObjectName(QStringLiteral("StationChoice"));
    txtPorts = edit(this, "txtPorts", text::StationPortsHint);
    cboBaud = new QComboBox(this);
    cboBaud->setObjectName(QStringLiteral("cboBaud"));
    for (const int32_t baud : bauds) {
        cboBaud->addItem(QString::number(baud), baud);
    }
    cboDevice = new QComboBox(this);
    cboDevice->setObjectName(QStringLiteral("cboDevice"));
    cboDevice->addItem(qtext(text::MenuDeviceManual), device_manual);
    cboDevice->addItem(qtext(text::MenuDeviceTracker), device_tracker);
    txtFile = edit(this, "txtFile");
    cmdFile = new QPushButton(qtext(text::StationChooseFile), this);
    cmdFile->setObjectName(QStringLiteral("cmdFile"));
    cmdFile->setFixedWidth(cmdFile->fontMetrics().horizontalAdvance(cmdFile->text()) * 3);
    txtBatch = edit(this, "txtBatch");

    auto* layout = new QHBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    const auto labelled = [&](const char* caption, QWidget* w, int stretch) {
        auto* l = new QLabel(qtext(caption), this);
        l->setBuddy(w);
        layout->addWidget(l);
        layout->addWidget(w, stretch);
    };
    labelled(text::StationPorts, txtPorts, 3);
    labelled(text::StationBaud, cboBaud, 0);
    labelled(text::StationDevice, cboDevice, 0);
    labelled(text::StationFile, txtFile, 3);
    layout->addWidget(cmdFile);
    labelled(text::StationBatch, txtBatch, 1);

    connect(txtPorts, &QLineEdit::textChanged, this, &StationChoice::portsChanged);
    connect(txtFile, &QLineEdit::textChanged, this, &StationChoice::fileChanged);
    connect(cmdFile, &QPushButton::clicked, this, &StationChoice::chooseFile);
    connect(cboBaud, &QComboBox::currentIndexChanged, this, &StationChoice::lineChanged);
    connect(cboDevice, &QComboBox::currentIndexChanged, this, &StationChoice::lineChanged);
    connect(txtBatch, &QLineEdit::textChanged, this, &StationChoice::lineChanged);
}

void StationChoice::load(const SettingsStore& store) {
    RunRequest stored;
    for (const PortEntry& e :
         portEntries(QString::fromStdString(store.GetSetting(section, keyPorts)))) {
        stored.ports.push_back(e.name.empty() ? e.port : e.name + "=" + e.port);
    }
    bool number = false;
    const int idle = QString::fromStdString(store.GetSetting(section, keyIdle)).toInt(&number);
    if (number && idle >= 0 && idle <= maxIdleTimeoutSeconds) {
        m_idleLimit = idle;
    }
    if (const int baud = std::atoi(store.GetSetting(section, keyBaud).c_str()); baud > 0) {
        stored.baud = baud;
    }
    const std::string device = store.GetSetting(section, keyDevice);
    if (device == deviceKindName(device_tracker)) {
        stored.device = device_tracker;
    } else if (device == deviceKindName(device_manual)) {
        stored.device = device_manual;
    }
    stored.file = store.GetSetting(section, keyFile);
    stored.batch = store.GetSetting(section, keyBatch);
    apply(stored);
}

// Only what changed: each value written is a write of the settings file,
// on the window's thread.
void StationChoice::save(SettingsStore& store) const {
    RunRequest r = request();
    if (m_free) {
        r.baud = cboBaud->itemData(m_free->baud).toInt();
        r.device = static_cast<int16_t>(cboDevice->itemData(m_free->device).toInt());
        r.file = bytesOf(m_free->file);
    }
    const std::pair<const char*, std::string> values[] = {
        {keyPorts, portEntriesText(keptEntries()).toStdString()},
        {keyBaud, std::to_string(r.baud.value_or(0))},
        {keyDevice, deviceKindName(r.device)},
        {keyFile, r.file},
        {keyBatch, r.batch},
        {keyIdle, std::to_string(m_idleLimit)},
    };
    for (const auto& [key, value] : values) {
        if (store.GetSetting(section, key) != value) {
            store.SaveSetting(section, key, value);
        }
    }
}

void StationChoice::apply(const RunRequest& given) {
    if (!given.ports.empty()) {
        std::vector<PortEntry> entries;
        for (const std::string& word : given.ports) {
            entries.push_back(portEntry(word));
        }
        txtPorts->setText(portEntriesText(entries));
    }
    if (given.baud) {
        cboBaud->setCurrentIndex(std::max(0, cboBaud->findData(*given.baud)));
    }
    if (given.device) {
        cboDevice->setCurrentIndex(std::max(0, cboDevice->findData(*given.device)));
    }
    if (!given.file.empty()) {
        txtFile->setText(pathOf(given.file));
    }
    if (!given.batch.empty()) {
        txtBatch->setText(QString::fromStdString(given.batch));
    }
}

std::vector<PortEntry> StationChoice::keptEntries() const {
    std::vector<PortEntry> entries = portEntries(txtPorts->text());
    for (PortEntry& e : entries) {
        e.port = keptPort(e.port);
    }
    return entries;
}

std::vector<std::string> StationChoice::ports() const {
    std::vector<std::string> ports;
    for (const PortEntry& e : keptEntries()) {
        ports.push_back(e.port);
    }
    return ports;
}

void StationChoice::setSlotNames(const std::vector<std::string>& names) {
    std::vector<PortEntry> entries = portEntries(txtPorts->text());
    for (size_t i = 0; i < entries.size() && i < names.size(); ++i) {
        entries[i].name = names[i];
    }
    txtPorts->setText(portEntriesText(entries));
}

RunRequest StationChoice::request() const {
    RunRequest r;
    r.program = text::ProgramName;
    r.ports = ports();
    r.baud = cboBaud->currentData().toInt();
    r.device = static_cast<int16_t>(cboDevice->currentData().toInt());
    r.file = bytesOf(txtFile->text());
    r.batch = txtBatch->text().trimmed().toStdString();
    // A device gone silent this long ends alone, failed.
    r.idleTimeoutSeconds = m_idleLimit;
    return r;
}

void StationChoice::chooseFile() {
    if (m_free) {
        return; // the recipe's file stands
    }
    const QString path = QFileDialog::getOpenFileName(
        this, qtext(text::StationFileCaption), txtFile->text(), qtext(text::StationHexFiles));
    if (!path.isEmpty()) {
        txtFile->setText(path);
    }
}

void StationChoice::fixTo(const Recipe* recipe) {
    const QSignalBlocker baud(cboBaud);
    const QSignalBlocker device(cboDevice);
    const QSignalBlocker file(txtFile);
    if (recipe != nullptr) {
        if (!m_free) {
            m_free = Free{cboBaud->currentIndex(), cboDevice->currentIndex(), txtFile->text()};
        }
        cboBaud->setCurrentIndex(cboBaud->findData(recipe->settings.baud));
        cboDevice->setCurrentIndex(cboDevice->findData(recipe->settings.device));
        txtFile->setText(pathOf(recipe->fileName));
    } else if (m_free) {
        cboBaud->setCurrentIndex(m_free->baud);
        cboDevice->setCurrentIndex(m_free->device);
        txtFile->setText(m_free->file);
        m_free.reset();
    }
    for (QWidget* w : std::initializer_list<QWidget*>{cboBaud, cboDevice, txtFile, cmdFile}) {
        w->setEnabled(!m_free);
    }
}

} // namespace quill
