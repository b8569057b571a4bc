// SPDX-License-Identifier: MIT
#include "platform/qt/portnames.h"
#include "platform/qt/qtsettingsstore.h"

#include <QFile>
#include <QTemporaryDir>
#include <gtest/gtest.h>

namespace quill {
namespace {

TEST(QtSettingsStoreTest, KeepsTextsBetweenInstancesAndNamesThePorts) {
    QTemporaryDir dir;
    const std::string ini = dir.filePath(QStringLiteral("Quill.ini")).toStdString();
    {
        QtSettingsStore store(ini);
        store.SaveSetting("Port", "COM", "3");
        store.SaveSetting("Port", "BAUD", "38400");
        store.SaveSetting("PortNames", "COM1", "/dev/serial/by-id/usb-Prolific_\xC3\x9C");
    }
    QtSettingsStore reopened(ini);
    EXPECT_EQ(reopened.GetSetting("Port", "COM"), "3");
    EXPECT_EQ(reopened.GetSetting("PortNames", "COM1"), "/dev/serial/by-id/usb-Prolific_\xC3\x9C");
    EXPECT_EQ(reopened.GetSetting("Option", "DEVICE"), ""); // absent
    EXPECT_EQ(reopened.GetSetting("Other", "COM"), "");     // only in another section

    QFile file(QString::fromStdString(ini));
    ASSERT_TRUE(file.open(QIODevice::ReadOnly));
    const QByteArray text = file.readAll();
    EXPECT_TRUE(text.contains("[Port]\nBAUD=38400\nCOM=3\n")) << text.constData();

    // The PortNames section overrides the serial devices; read at each call.
    const PortResolver resolve = defaultPortResolver(reopened);
    EXPECT_EQ(resolve(1), "/dev/serial/by-id/usb-Prolific_\xC3\x9C");
    EXPECT_EQ(resolve(3), "/dev/ttyS2");
    EXPECT_EQ(resolve(0), "");
    reopened.SaveSetting("PortNames", "COM4", "/dev/pts/7");
    EXPECT_EQ(resolve(4), "/dev/pts/7");
}

} // namespace
} // namespace quill
