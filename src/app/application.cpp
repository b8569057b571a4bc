// SPDX-License-Identifier: MIT
#include "app/application.h"

#include "hexfile/hexcodec.h"
#include "port/startup.h"
#include "qt/portnames.h"

#include <QStringList>

namespace quill {

Application::Application(std::unique_ptr<SettingsStore> store, std::string cmdline)
    : m_store(std::move(store)), m_port(defaultPortResolver(*m_store)),
      m_log(m_m, m_port, m_timer, m_boxes, m_wait, DownloadLog::defaultPath()),
      m_record(m_m, m_log.session(), *m_store, defaultPortResolver(*m_store)),
      m_mainForm(MainForm::World{m_m, m_log.session().comm(), m_log.session().timer(),
                                 m_log.session().boxes(), m_log.session().waitDialog(), m_file,
                                 *m_store, &m_record},
                 std::move(cmdline)),
      m_downloader(m_mainForm.context()) {
    m_mainForm.setDownloader(&m_downloader);
    // The firmware is read for its identity first: the trace's header names it.
    m_mainForm.setStartHook([this] {
        m_log.noteStart(m_record.identify());
        m_record.noteStart(m_log.keptPath());
    });
    m_mainForm.setFileTip(DownloadRecord::fileTip);
    m_port.setNetworkNotes([this](const std::string& note) { m_log.session().notePort(note); });
}

void Application::Main() {
    read_settings(m_m, *m_store);
    init_hex_table(m_m.hex_table);
    m_mainForm.Form_Load();
    m_mainForm.show();
    m_mainForm.showComSetup(&m_mainForm);
}

std::string Application::commandLine(const QStringList& arguments) {
    return arguments.mid(1).join(QLatin1Char(' ')).toStdString();
}

} // namespace quill
