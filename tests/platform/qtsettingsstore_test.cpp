#include "platform/qt/portnames.h"
#include "platform/qt/qtsettingsstore.h"

#include <QFile>
#include <QTemporaryDir>
#include <gtest/gtest.h>

namespace quill {
namespace {

class QtSettingsStoreTest : public ::testing::Test {
  protected:
    std::string iniPath() const {
        return m_dir.filePath(QStringLiteral("Quill.ini")).toStdString();
    }

    QTemporaryDir m_dir;
};

TEST_F(QtSettingsStoreTest, KeepsTextsBetweenInstancesInTheirSections) {
    {
        QtSettingsStore store(iniPath());
        store.SaveSetting("Port", "COM", "3");
        store.SaveSetting("Port", "BAUD", "38400");
        store.SaveSetting("PortNames", "COM1", "/dev/serial/by-id/usb-Prolific_\xC3\x9C");
    }
    QtSettingsStore reopened(iniPath());
    EXPECT_EQ(reopened.GetSetting("Port", "COM"), "3");
    EXPECT_EQ(reopened.GetSetting("Port", "BAUD"), "38400");
    EXPECT_EQ(reopened.GetSetting("PortNames", "COM1"), "/dev/serial/by-id/usb-Prolific_\xC3\x9C");

    QFile file(QString::fromStdString(iniPath()));
    ASSERT_TRUE(file.open(QIODevice::ReadOnly));
    const QByteArray text = file.readAll();
    EXPECT_TRUE(text.contains("[Port]\nBAUD=38400\nCOM=3\n")) << text.constData();
}

TEST_F(QtSettingsStoreTest, AbsentKeyGivesEmptyText) {
    QtSettingsStore store(iniPath());
    store.SaveSetting("Port", "COM", "2");
    EXPECT_EQ(store.GetSetting("Option", "DEVICE"), "");
    EXPECT_EQ(store.GetSetting("Port", "BAUD"), "");
    EXPECT_EQ(store.GetSetting("Other", "COM"), "");
}

TEST_F(QtSettingsStoreTest, PortNamesOverrideTheSerialDevices) {
    QtSettingsStore store(iniPath());
    store.SaveSetting("PortNames", "COM2", "/dev/ttyUSB0");
    const PortResolver resolve = defaultPortResolver(store);
    EXPECT_EQ(resolve(1), "/dev/ttyS0");
    EXPECT_EQ(resolve(2), "/dev/ttyUSB0");
    EXPECT_EQ(resolve(4), "/dev/ttyS3");
    EXPECT_EQ(resolve(0), "");
    store.SaveSetting("PortNames", "COM4", "/dev/pts/7"); // read at each call
    EXPECT_EQ(resolve(4), "/dev/pts/7");
}

} // namespace
} // namespace quill
