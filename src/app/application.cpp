// SPDX-License-Identifier: MIT
#include "app/application.h"

#include "hexfile/filecheck.h"
#include "hexfile/hexcodec.h"
#include "port/startup.h"
#include "qt/portnames.h"
#include "ui/uitexts.h"

#include <QMetaObject>
#include <QStringList>

namespace quill {

Application::Application(std::unique_ptr<SettingsStore> store, std::string cmdline)
    : m_store(std::move(store)), m_port(defaultPortResolver(*m_store)),
      m_log(m_m, m_port, m_timer, m_boxes, m_wait, DownloadLog::defaultPath()),
      m_record(m_m, m_log.session(), *m_store, defaultPortResolver(*m_store)),
      m_serial(
          *m_store, m_patched, m_record, m_log.session().boxes(),
          [this] { m_downloader.stopDownload(DownloadEnd::Interrupted); },
          [this](const std::string& serial) { m_mainForm.showSerial(serial); }),
      m_mainForm(MainForm::World{m_m, m_log.session().comm(), m_log.session().timer(),
                                 m_log.session().boxes(), m_log.session().waitDialog(), m_patched,
                                 *m_store, m_log.session().observe(&m_serial)},
                 std::move(cmdline)),
      m_downloader(m_mainForm.context()) {
    m_mainForm.setDownloader(&m_downloader);
    m_mainForm.setStartHook([this] {
        m_log.noteStart();
        m_record.noteStart(m_log.keptPath());
        m_serial.noteStart();
    });
    // The file is read for its tooltip off the window's thread: a file on a
    // slow share must not freeze the window. The download's own check then
    // names the bytes it sends.
    m_mainForm.setFileTip([this](const std::string& path, std::function<void(std::string)> show) {
        startOn(m_readers, [path, show = std::move(show), inbox = m_tips] {
            const std::string tip = fileTip(path);
            inbox->post([show, tip] { show(tip); });
        });
    });
    m_record.setChecked([this](const std::string& path, const FileIdentity& identity) {
        m_mainForm.showFileTip(identity.known() ? firmwareLine(path, identity)
                                                : path + text::FileTipUnreadable);
    });
    m_port.setNetworkNotes([this](const std::string& note) { m_log.session().notePort(note); });
}

void Application::Main() {
    read_settings(m_m, *m_store);
    init_hex_table(m_m.hex_table);
    m_mainForm.Form_Load();
    m_mainForm.show();
    m_mainForm.showComSetup(&m_mainForm);
}

void Application::Station(const RunRequest& given) {
    m_mainForm.showStation(given);
}

std::string Application::fileTip(const std::string& path) {
    StdHexFile file;
    if (!file.open(path)) {
        return path + text::FileTipUnreadable;
    }
    std::string line;
    const FileCheck check = checkHexFile(file, makeHexTable(), line);
    return check.identity.known() ? firmwareLine(path, check.identity)
                                  : path + text::FileTipUnreadable;
}

std::string Application::commandLine(const QStringList& arguments) {
    return arguments.mid(1).join(QLatin1Char(' ')).toStdString();
}

} // namespace quill
