// SPDX-License-Identifier: MIT
#include "app/downloadlog.h"

#include "history/ownfolders.h"

#include "trace/tracetexts.h"
#include "ui/uitexts.h"

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>

namespace quill {

DownloadLog::DownloadLog(Module1& m, MSComm& port, Timer& timer, MessageBoxes& boxes,
                         WaitDialog& wait, std::string path, TraceClock clock)
    : m_session(m, port, timer, boxes, wait, std::move(clock)), m_path(std::move(path)) {}

DownloadLog::~DownloadLog() {
    close();
}

void DownloadLog::noteStart() {
    close();
    std::error_code ec;
    if (!m_path.empty() && std::filesystem::is_symlink(m_path, ec)) {
        // Its own file, never another program's reached through a link.
        complain(text::TraceIsLink);
    } else if (!m_path.empty()) {
        std::string reason;
        m_file = TraceFile::create(m_path, text::AppTitle, reason);
        if (m_file) {
            m_writer = std::make_unique<TraceWriter>(m_file->output(), TraceWriter::Form::Full,
                                                     [this] { complain(std::strerror(errno)); });
            m_session.addObserver(m_writer.get());
        } else {
            complain(reason);
        }
    }
    m_session.noteStart();
}

void DownloadLog::close() {
    if (m_writer) {
        m_session.removeObserver(m_writer.get());
        m_writer.reset(); // writes what is left
    }
    m_file.reset();
}

// Once per run of the program: a disk that is full stays full.
void DownloadLog::complain(const std::string& reason) {
    if (m_complained) {
        return;
    }
    m_complained = true;
    std::fprintf(stderr, "%s%s (%s)%s\n", text::TraceNotWritten, m_path.c_str(), reason.c_str(),
                 text::TraceGoesOn);
}

std::string DownloadLog::defaultPath() {
    const std::string folder = ownStateFolder();
    return folder.empty() ? std::string{} : folder + "/last-download.log";
}

} // namespace quill
