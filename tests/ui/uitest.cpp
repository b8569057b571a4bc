#include "uitest.h"

#include "platform/qt/portnames.h"
#include "platform/qt/qtsettingsstore.h"

#include <QAbstractButton>
#include <QApplication>
#include <QMessageBox>
#include <gtest/gtest.h>

#include <fcntl.h>
#include <termios.h>
#include <unistd.h>

namespace quill::test {

namespace {

// A script that has found nothing to answer by then closes whatever is
// modal, so that a failing test ends instead of hanging.
constexpr int scriptPatienceMs = 10000;
constexpr int pollMs = 10;

} // namespace

ScratchSettings::ScratchSettings() {
    for (int n = 1; n <= 4; ++n) {
        set(portNamesSection, "COM" + std::to_string(n), path("absent-com" + std::to_string(n)));
    }
}

void ScratchSettings::set(const std::string& section, const std::string& key,
                          const std::string& value) {
    QtSettingsStore(iniPath()).SaveSetting(section, key, value);
}

std::string ScratchSettings::get(const std::string& section, const std::string& key) const {
    return QtSettingsStore(iniPath()).GetSetting(section, key);
}

std::string ScratchSettings::iniPath() const {
    return path("quill.ini");
}

std::string ScratchSettings::path(const std::string& name) const {
    return m_dir.filePath(QString::fromStdString(name)).toStdString();
}

std::unique_ptr<Application> ScratchSettings::startApplication(const std::string& cmdline) {
    return std::make_unique<Application>(std::make_unique<QtSettingsStore>(iniPath()), cmdline);
}

ModalScript& ModalScript::then(Step step) {
    m_steps.push_back(std::move(step));
    schedule();
    return *this;
}

// A fresh single-shot timer each time: a step may open the next modal
// window, and Qt does not fire a timer again while its handler runs, so a
// repeating one could not answer inside that window's loop.
void ModalScript::schedule() {
    if (!m_scheduled && !m_steps.empty()) {
        m_scheduled = true;
        QTimer::singleShot(pollMs, &m_guard, [this] { poll(); });
    }
}

void ModalScript::poll() {
    m_scheduled = false;
    QWidget* modal = QApplication::activeModalWidget();
    if (m_steps.empty()) {
        return;
    }
    if (modal == nullptr || !modal->isVisible()) {
        schedule();
        return;
    }
    // Taken off first, and the next poll armed: the step may open the next
    // modal window, whose nested event loop polls again.
    Step step = std::move(m_steps.front());
    m_steps.pop_front();
    schedule();
    if (step(modal)) {
        m_idlePolls = 0;
        return;
    }
    m_steps.push_front(std::move(step));
    schedule();
    if (++m_idlePolls * pollMs > scriptPatienceMs) {
        m_idlePolls = 0;
        ADD_FAILURE() << "no step applies to the modal window " << modal->objectName().toStdString()
                      << " \"" << modal->windowTitle().toStdString() << "\"";
        modal->close();
    }
}

ModalScript::Step clickInDialog(const char* dialogName, const char* buttonName,
                                std::function<void(QWidget*)> inspect) {
    return [=](QWidget* modal) {
        if (modal->objectName() != QLatin1String(dialogName)) {
            return false;
        }
        if (inspect) {
            inspect(modal);
        }
        auto* button = modal->findChild<QAbstractButton*>(QLatin1String(buttonName));
        EXPECT_NE(button, nullptr) << buttonName;
        if (button != nullptr) {
            button->click();
        }
        return true;
    };
}

ModalScript::Step answerBox(QString* text, int standardButton, std::function<void()> inspect) {
    return [=](QWidget* modal) {
        auto* box = qobject_cast<QMessageBox*>(modal);
        if (box == nullptr) {
            return false;
        }
        *text = box->text();
        if (inspect) {
            inspect();
        }
        box->button(static_cast<QMessageBox::StandardButton>(standardButton))->click();
        return true;
    };
}

PtyDevice::PtyDevice(devsim::Config config) : m_model(config) {
    m_master = ::posix_openpt(O_RDWR | O_NOCTTY | O_NONBLOCK);
    if (m_master < 0 || ::grantpt(m_master) != 0 || ::unlockpt(m_master) != 0) {
        return;
    }
    m_slavePath = ::ptsname(m_master);
    termios raw{};
    ::tcgetattr(m_master, &raw);
    ::cfmakeraw(&raw);
    ::tcsetattr(m_master, TCSANOW, &raw);
    m_slave = ::open(m_slavePath.c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK);
    m_notifier = std::make_unique<QSocketNotifier>(m_master, QSocketNotifier::Read);
    QObject::connect(m_notifier.get(), &QSocketNotifier::activated, &m_guard,
                     [this] { onReadable(); });
}

PtyDevice::~PtyDevice() {
    m_notifier.reset();
    if (m_master >= 0) {
        ::close(m_master);
    }
    if (m_slave >= 0) {
        ::close(m_slave);
    }
}

void PtyDevice::onReadable() {
    std::vector<uint8_t> bytes(4096);
    const ssize_t count = ::read(m_master, bytes.data(), bytes.size());
    if (count <= 0) {
        return;
    }
    bytes.resize(static_cast<size_t>(count));
    for (devsim::Reply& reply : m_model.receive(bytes, parity())) {
        QTimer::singleShot(reply.delayMs, &m_guard, [this, answer = std::move(reply.bytes)] {
            EXPECT_EQ(::write(m_master, answer.data(), answer.size()),
                      static_cast<ssize_t>(answer.size()));
        });
    }
}

// The pty keeps CMSPAR and PARODD as the program set them (it clears
// PARENB), which tells mark parity from even.
devsim::Parity PtyDevice::parity() const {
    termios tio{};
    if (::tcgetattr(m_slave, &tio) != 0) {
        return devsim::Parity::None;
    }
    const bool odd = (tio.c_cflag & PARODD) != 0;
    if ((tio.c_cflag & CMSPAR) != 0) {
        return odd ? devsim::Parity::Mark : devsim::Parity::Space;
    }
    return odd ? devsim::Parity::Odd : devsim::Parity::Even;
}

} // namespace quill::test
