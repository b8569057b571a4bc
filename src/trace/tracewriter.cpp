// SPDX-License-Identifier: MIT
#include "trace/tracewriter.h"

#include "download/tracker.h"
#include "shared/fileops.h"
#include "shared/filepath.h"
#include "shared/module1.h"

#include "quillversion.h"

#include <cerrno>
#include <cstdint>
#include <cstring>
#include <ctime>
#include <filesystem>

namespace quill {

namespace {

// Written out when it holds this much, whatever the download does.
constexpr size_t bufferLimit = 64 * 1024;
// The short form shows a record line up to its type field.
constexpr size_t shortRecord = 9;
constexpr size_t shortBatch = 8;

constexpr char hexDigits[] = "0123456789ABCDEF";

void appendHex(std::string& out, uint8_t b) {
    out += hexDigits[b >> 4];
    out += hexDigits[b & 0x0F];
}

// Milliseconds with three decimals, right-aligned in nine columns, then a
// blank. Written digit by digit: it runs for every event of the trace.
void appendTime(std::string& out, int64_t us) {
    constexpr size_t width = 9;
    char text[32];
    char* const end = text + sizeof text;
    char* p = end;
    uint64_t magnitude = us < 0 ? 0 - static_cast<uint64_t>(us) : static_cast<uint64_t>(us);
    for (int i = 0; i < 3; ++i, magnitude /= 10) {
        *--p = static_cast<char>('0' + magnitude % 10);
    }
    *--p = '.';
    do {
        *--p = static_cast<char>('0' + magnitude % 10);
        magnitude /= 10;
    } while (magnitude != 0);
    if (us < 0) {
        *--p = '-';
    }
    const auto size = static_cast<size_t>(end - p);
    if (size < width) {
        out.append(width - size, ' ');
    }
    out.append(p, size);
    out += ' ';
}

void appendName(std::string& out, std::string_view name) {
    out += name;
    out.append(name.size() < 6 ? 6 - name.size() : 1, ' ');
}

// Bytes in hex, then their printable form in quotes.
void appendBytes(std::string& out, std::span<const uint8_t> bytes) {
    const size_t n = bytes.size();
    const size_t at = out.size();
    out.resize(at + (n > 0 ? 3 * n - 1 : 0) + 4 + n);
    char* p = out.data() + at;
    for (size_t i = 0; i < n; ++i) {
        if (i > 0) {
            *p++ = ' ';
        }
        *p++ = hexDigits[bytes[i] >> 4];
        *p++ = hexDigits[bytes[i] & 0x0F];
    }
    *p++ = ' ';
    *p++ = ' ';
    *p++ = '"';
    for (const uint8_t b : bytes) {
        *p++ = (b >= 0x20 && b < 0x7F) ? static_cast<char>(b) : '.';
    }
    *p = '"';
}

// A text in quotes, its control characters written as escapes; the text is
// bytes, and bytes above 7F pass as they are.
void appendQuoted(std::string& out, std::string_view text) {
    out += '"';
    for (const char c : text) {
        const auto b = static_cast<uint8_t>(c);
        if (c == '\r') {
            out += "\\r";
        } else if (c == '\n') {
            out += "\\n";
        } else if (c == '"' || c == '\\') {
            out += '\\';
            out += c;
        } else if (b < 0x20 || b == 0x7F) {
            out += "\\x";
            appendHex(out, b);
        } else {
            out += c;
        }
    }
    out += '"';
}

std::string_view byteName(uint8_t b) {
    switch (b) {
    case XON:
        return "XON";
    case XOFF:
        return "XOFF";
    case ACK:
        return "ACK";
    case NAK:
        return "NAK";
    default:
        return {};
    }
}

void appendShortWritten(std::string& out, std::span<const uint8_t> bytes) {
    const std::string_view text(reinterpret_cast<const char*>(bytes.data()), bytes.size());
    if (text.empty() || text.front() != ':') {
        appendBytes(out, bytes);
        return;
    }
    const std::string_view line = text.substr(0, text.find_first_of("\r\n"));
    const bool cut = line.size() > shortRecord + 4;
    out += cut ? line.substr(0, shortRecord) : line;
    if (cut) {
        out += "..";
    }
    out += " (" + std::to_string(bytes.size()) + " bytes)";
}

void appendShortReceived(std::string& out, std::span<const uint8_t> bytes) {
    const size_t shown = std::min(bytes.size(), shortBatch);
    for (size_t i = 0; i < shown; ++i) {
        if (i > 0) {
            out += ' ';
        }
        const std::string_view name = byteName(bytes[i]);
        if (name.empty()) {
            appendHex(out, bytes[i]);
        } else {
            out += name;
        }
    }
    if (shown < bytes.size()) {
        out += " .. (" + std::to_string(bytes.size()) + " bytes)";
    }
}

bool endsSection(const TraceEvent& event) {
    switch (event.kind) {
    case TraceKind::State:
        return event.value == cs_off || event.value == cs_file_done;
    case TraceKind::BoxShown:
    case TraceKind::WaitReport:
    case TraceKind::PortLost:
    case TraceKind::PortFailed:
    case TraceKind::PortClosed:
        return true;
    default:
        return false;
    }
}

} // namespace

std::string_view cstate_name(int32_t cstate) {
    switch (cstate) {
    case cs_off:
        return "cs_off";
    case cs_flash_erase:
        return "cs_flash_erase";
    case cs_program_ready:
        return "cs_program_ready";
    case cs_programming:
        return "cs_programming";
    case cs_record_download:
        return "cs_record_download";
    case cs_after_xoff:
        return "cs_after_xoff";
    case cs_tracker_select:
        return "cs_tracker_select";
    case cs_tracker_prog:
        return "cs_tracker_prog";
    case cs_tracker_reboot:
        return "cs_tracker_reboot";
    case cs_file_done:
        return "cs_file_done";
    default:
        return "cs_unknown";
    }
}

TraceWriter::TraceWriter(Output output, Form form, FailureReport onFailure, Flush flush)
    : m_output(std::move(output)), m_form(form), m_onFailure(std::move(onFailure)), m_flush(flush) {
    m_buffer.reserve(bufferLimit + 4096);
}

TraceWriter::~TraceWriter() {
    flush();
}

void TraceWriter::onTraceEvent(const TraceEvent& event) {
    if (m_failed) {
        return;
    }
    if (!m_startUs || event.kind == TraceKind::Start) {
        m_startUs = event.atUs;
    }
    append(m_buffer, event, *m_startUs, m_form);
    m_buffer += '\n';
    if (m_flush == Flush::EachLine || m_buffer.size() >= bufferLimit || endsSection(event)) {
        flush();
    }
}

bool TraceWriter::flush() {
    if (m_failed) {
        return false;
    }
    if (m_buffer.empty()) {
        return true;
    }
    if (!m_output || !m_output(m_buffer)) {
        m_failed = true;
        m_buffer.clear();
        m_buffer.shrink_to_fit();
        if (m_onFailure) {
            m_onFailure();
        }
        return false;
    }
    m_buffer.clear();
    return true;
}

std::string TraceWriter::line(const TraceEvent& event, int64_t startUs, Form form) {
    std::string out;
    append(out, event, startUs, form);
    return out;
}

void TraceWriter::append(std::string& out, const TraceEvent& event, int64_t startUs, Form form) {
    appendTime(out, event.atUs - startUs);
    const bool brief = form == Form::Short;
    switch (event.kind) {
    case TraceKind::Start:
        appendName(out, "START");
        out += event.text;
        break;
    case TraceKind::Written:
        appendName(out, "TX");
        brief ? appendShortWritten(out, event.bytes) : appendBytes(out, event.bytes);
        break;
    case TraceKind::Received:
        appendName(out, "RX");
        brief ? appendShortReceived(out, event.bytes) : appendBytes(out, event.bytes);
        break;
    case TraceKind::CommEvent:
        appendName(out, "EVENT");
        out += std::to_string(event.value);
        break;
    case TraceKind::State:
        appendName(out, "STATE");
        out += cstate_name(event.value);
        break;
    case TraceKind::TimerArmed:
        appendName(out, "TIMER");
        out += "armed ";
        out += std::to_string(event.value);
        out += " ms";
        break;
    case TraceKind::TimerStopped:
        appendName(out, "TIMER");
        out += "stopped";
        break;
    case TraceKind::TimerExpired:
        appendName(out, "TIMER");
        out += "expired";
        break;
    case TraceKind::RxDiscarded:
        appendName(out, "RX");
        out += "discarded";
        break;
    case TraceKind::Settings:
        appendName(out, "LINE");
        out += event.text;
        break;
    case TraceKind::PortOpened:
        appendName(out, "OPEN");
        out += event.text;
        break;
    case TraceKind::PortClosed:
        appendName(out, "CLOSE");
        break;
    case TraceKind::PortLost:
        appendName(out, "LOST");
        appendQuoted(out, event.text);
        break;
    case TraceKind::PortFailed:
        appendName(out, "ERROR");
        appendQuoted(out, event.text);
        break;
    case TraceKind::BoxShown:
        appendName(out, "BOX");
        appendQuoted(out, event.text);
        out += event.value != 0 ? " [OK Cancel]" : " [OK]";
        break;
    case TraceKind::BoxClosed:
        appendName(out, "BOX");
        out += event.value != 0 ? "Cancel" : "OK";
        break;
    case TraceKind::WaitShown:
        appendName(out, "WAIT");
        out += "shown";
        break;
    case TraceKind::WaitClosed:
        appendName(out, "WAIT");
        out += "closed";
        break;
    case TraceKind::WaitReport:
        appendName(out, "WAIT");
        appendQuoted(out, event.text);
        break;
    case TraceKind::WaitOk:
        appendName(out, "WAIT");
        out += "OK";
        break;
    case TraceKind::PortNote:
        appendName(out, "NET");
        out += event.text;
        break;
    case TraceKind::FileChecked:
        appendName(out, "FILE");
        out += event.text;
        break;
    case TraceKind::Patched:
        appendName(out, "SERIAL");
        out += event.text;
        out += " in the file, sent as the next TX";
        break;
    }
    while (!out.empty() && out.back() == ' ') {
        out.pop_back();
    }
}

std::string traceHeader(std::string_view program, std::string_view about) {
    const std::time_t now = std::time(nullptr);
    std::tm local{};
    char when[64] = "?";
    if (::localtime_r(&now, &local) != nullptr) {
        std::strftime(when, sizeof when, "%Y-%m-%d %H:%M:%S %z", &local);
    }
    std::string header = "# " + std::string(program) + " " + QuillVersion +
                         " download trace, started " + when + "\n";
    if (!about.empty()) {
        header += "# " + std::string(about) + "\n";
    }
    return header;
}

std::unique_ptr<TraceFile> TraceFile::create(const std::string& path, std::string_view program,
                                             std::string& error, std::string_view about) {
    std::error_code ec;
    const std::filesystem::path parent = filePath(path).parent_path();
    if (!parent.empty()) {
        std::filesystem::create_directories(parent, ec);
    }
    std::FILE* file = openFile(path, "wb");
    if (file == nullptr) {
        error = std::strerror(errno);
        return nullptr;
    }
    auto trace = std::make_unique<TraceFile>(Opened{file}, path);
    if (!trace->output()(traceHeader(program, about))) {
        error = std::strerror(errno);
        return nullptr;
    }
    return trace;
}

TraceFile::~TraceFile() {
    std::fclose(m_file);
}

TraceWriter::Output TraceFile::output() {
    return streamOutput(m_file);
}

TraceWriter::Output streamOutput(std::FILE* stream) {
    return [stream](std::string_view text) {
        return std::fwrite(text.data(), 1, text.size(), stream) == text.size() &&
               std::fflush(stream) == 0;
    };
}

} // namespace quill
