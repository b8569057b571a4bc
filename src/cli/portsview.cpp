// SPDX-License-Identifier: MIT
#include "cli/portsview.h"

#include "cli/multitable.h"

#include <algorithm>

namespace quill::cli {

namespace {

// A terminal's lines are redrawn at most this often.
constexpr int redrawMs = 200;

} // namespace

PortsView::PortsView(Console& console, CliMessageBoxes& boxes, bool yes, bool quiet, std::FILE* out)
    : ConsoleView(console, boxes, yes), m_quiet(quiet), m_out(out),
      m_terminal(console.terminal() && !quiet) {
    m_redraw.setInterval(redrawMs);
    QObject::connect(&m_redraw, &QTimer::timeout, &m_context, [this] {
        if (m_dirty) {
            drawBlock();
        }
    });
}

void PortsView::runSaid(const std::string& text, Said how) {
    eraseBlock();
    ConsoleView::runSaid(text, how);
    if (m_terminal && !m_devices.empty()) {
        drawBlock();
    }
}

void PortsView::say(const std::string& text) {
    runSaid(text, Said::Error);
}

void PortsView::devicesStarting(const RunReport& run) {
    m_devices = run.devices;
    m_nextQuarter.assign(m_devices.size(), 25);
    if (m_terminal) {
        drawBlock();
        m_redraw.start();
    }
}

void PortsView::deviceEvent(size_t index, const DeviceEvent& event, const DeviceReport& device) {
    m_devices[index] = device;
    switch (event.kind) {
    case DeviceEvent::Kind::Message:
        // Quiet, a device's messages wait for its end: shown only if it failed.
        if (!m_quiet) {
            showMessage(index, event.text);
        }
        break;
    case DeviceEvent::Kind::Trace:
        showMessage(index, event.text);
        break;
    case DeviceEvent::Kind::Phase:
        if (!m_terminal && !m_quiet) {
            showMessage(index, event.text);
        }
        break;
    case DeviceEvent::Kind::Progress:
    case DeviceEvent::Kind::Reached:
        break;
    case DeviceEvent::Kind::Ended:
        if (m_quiet && device.outcome != Outcome::Complete) {
            for (const std::string& message : device.messages) {
                showMessage(index, message);
            }
        }
        if (!m_terminal && !m_quiet) {
            put(progressLine(device) + "\n");
        }
        break;
    }
    if (m_terminal) {
        m_dirty = true;
    } else if (!m_quiet && event.kind != DeviceEvent::Kind::Ended) {
        showQuarter(index);
    }
}

void PortsView::finish(const RunReport& run) {
    ConsoleView::finish(run);
    m_redraw.stop();
    if (m_devices.empty()) {
        return; // no device started
    }
    m_devices = run.devices;
    if (m_terminal) {
        drawBlock();
    }
    m_blockLines = 0;
    const bool allComplete =
        std::all_of(run.devices.begin(), run.devices.end(),
                    [](const DeviceReport& d) { return d.outcome == Outcome::Complete; });
    if (!m_quiet || !allComplete) {
        put(finalTable(run.devices));
    }
    m_devices.clear();
}

// Without a terminal: a line when a device passes a quarter of the file.
void PortsView::showQuarter(size_t index) {
    const DeviceReport& d = m_devices[index];
    if (d.progress.percent < m_nextQuarter[index] || m_nextQuarter[index] > 100) {
        return;
    }
    m_nextQuarter[index] = (d.progress.percent / 25 + 1) * 25;
    put(progressLine(d) + "\n");
}

// A message of one device, each of its lines prefixed with the port.
void PortsView::showMessage(size_t index, const std::string& text) {
    std::string lines;
    const std::string rest = keptMessage(text);
    size_t from = 0;
    while (from <= rest.size()) {
        const size_t end = std::min(rest.find('\n', from), rest.size());
        lines += m_devices[index].port + ": " + rest.substr(from, end - from) + "\n";
        from = end + 1;
    }
    eraseBlock();
    put(lines);
    if (m_terminal) {
        drawBlock();
    }
}

// On a terminal, the devices' lines below everything else, redrawn in place.
void PortsView::drawBlock() {
    size_t width = 0;
    for (const DeviceReport& d : m_devices) {
        width = std::max(width, d.port.size());
    }
    std::string text = m_blockLines > 0 ? "\033[" + std::to_string(m_blockLines) + "F" : "";
    for (const DeviceReport& d : m_devices) {
        text += liveLine(d, width) + "\033[K\n";
    }
    m_blockLines = static_cast<int>(m_devices.size());
    m_dirty = false;
    put(text);
}

// Takes the devices' lines away, so that a message takes their place.
void PortsView::eraseBlock() {
    if (m_blockLines > 0) {
        put("\033[" + std::to_string(m_blockLines) + "F\033[J");
        m_blockLines = 0;
    }
}

void PortsView::put(const std::string& text) {
    std::fwrite(text.data(), 1, text.size(), m_out);
    std::fflush(m_out);
}

} // namespace quill::cli
