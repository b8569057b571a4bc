#pragma once
// What the window tests share: a scratch settings file, a script that
// answers modal windows as they open, and a device played on a real
// pseudo-terminal.

#include "app/application.h"
#include "devsim/devicemodel.h"

#include <QObject>
#include <QSocketNotifier>
#include <QTemporaryDir>
#include <QTimer>

#include <deque>
#include <functional>
#include <map>
#include <memory>
#include <string>

namespace quill::test {

// A settings file in a temporary folder. COM1 to COM4 name devices that do
// not exist unless a test names one, so that no real port of this machine
// takes part.
class ScratchSettings {
  public:
    ScratchSettings();
    void set(const std::string& section, const std::string& key, const std::string& value);
    std::string get(const std::string& section, const std::string& key) const;
    std::string iniPath() const;
    std::string path(const std::string& name) const; // a file in the folder
    std::unique_ptr<Application> startApplication(const std::string& cmdline = {});

  private:
    QTemporaryDir m_dir;
};

// Answers modal windows as they open: each step waits for the active
// modal widget it applies to (its test returns true), acts on it, and is
// done. Steps are taken in order.
class ModalScript {
  public:
    using Step = std::function<bool(QWidget*)>;
    ModalScript& then(Step step);
    // Steps that have not run yet.
    size_t pending() const { return m_steps.size(); }

  private:
    void schedule();
    void poll();
    std::deque<Step> m_steps;
    int m_idlePolls = 0;
    bool m_scheduled = false;
    QObject m_guard; // pending polls die with the script
};

// Steps for ModalScript.
ModalScript::Step clickInDialog(const char* dialogName, const char* buttonName,
                                std::function<void(QWidget*)> inspect = {});
// Records the text of a message box (carriage returns as shown, "\n") and
// presses the button.
ModalScript::Step answerBox(QString* text, int standardButton, std::function<void()> inspect = {});

// The device side of a serial cable: a pty pair whose slave the program
// opens as COM1, and a device model answering on the master with its
// reply delays.
class PtyDevice {
  public:
    explicit PtyDevice(devsim::Config config);
    ~PtyDevice();
    PtyDevice(const PtyDevice&) = delete;
    PtyDevice& operator=(const PtyDevice&) = delete;

    bool ok() const { return m_master >= 0 && m_slave >= 0; }
    const std::string& slavePath() const { return m_slavePath; }
    const devsim::DeviceModel& model() const { return m_model; }

  private:
    void onReadable();
    devsim::Parity parity() const;

    int m_master = -1;
    int m_slave = -1; // held open: no hang-up between the program's opens
    std::string m_slavePath;
    devsim::DeviceModel m_model;
    QObject m_guard; // pending replies die with the device
    std::unique_ptr<QSocketNotifier> m_notifier;
};

} // namespace quill::test

// GoogleTest prints Qt strings as text.
inline void PrintTo(const QString& text, std::ostream* out) {
    *out << '"' << text.toStdString() << '"';
}
