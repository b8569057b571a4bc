// SPDX-License-Identifier: MIT
#include "app/downloadlog.h"

#include "download/downloadtexts.h"
#include "quillversion.h"

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <ctime>

namespace quill {

namespace {

// The first line: which Quill wrote it, and when, in local time (the times
// of the events count from the start).
std::string header() {
    const std::time_t now = std::time(nullptr);
    std::tm local{};
    char when[64] = "?";
    if (::localtime_r(&now, &local) != nullptr) {
        std::strftime(when, sizeof when, "%Y-%m-%d %H:%M:%S %z", &local);
    }
    return std::string("# Quill ") + QuillVersion + " download trace, started " + when + "\n";
}

} // namespace

DownloadLog::DownloadLog(Module1& m, MSComm& port, Timer& timer, MessageBoxes& boxes,
                         WaitDialog& wait, std::string path, TraceClock clock)
    : m_session(m, port, timer, boxes, wait, std::move(clock)), m_path(std::move(path)) {}

DownloadLog::~DownloadLog() {
    close();
}

void DownloadLog::noteStart() {
    close();
    if (!m_path.empty()) {
        std::string reason;
        m_file = TraceFile::create(m_path, reason);
        if (m_file && m_file->output()(header())) {
            m_writer = std::make_unique<TraceWriter>(m_file->output(), TraceWriter::Form::Full,
                                                     [this] { complain(std::strerror(errno)); });
            m_session.addObserver(m_writer.get());
        } else {
            complain(m_file ? std::strerror(errno) : reason);
            m_file.reset();
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
    const char* state = std::getenv("XDG_STATE_HOME");
    std::string folder;
    if (state != nullptr && state[0] == '/') {
        folder = state;
    } else if (const char* home = std::getenv("HOME"); home != nullptr && home[0] != '\0') {
        folder = std::string(home) + "/.local/state";
    } else {
        return {};
    }
    return folder + "/quill/last-download.log";
}

} // namespace quill
