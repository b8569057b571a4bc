// SPDX-License-Identifier: MIT
// The window icon comes from the program's own resources, at every size,
// and reaches the windows (a resource left out of the static library, or a
// size that failed to draw, shows as a blank icon only on a real desktop).

#include "app/appicon.h"
#include "ui/frmabout.h"

#include <QApplication>
#include <QImage>
#include <QWidget>
#include <gtest/gtest.h>

#include <array>

namespace quill {
namespace {

TEST(AppIcon, EverySizeIsDrawnAndNotBlank) {
    const QIcon icon = applicationIcon();
    ASSERT_FALSE(icon.isNull());
    for (const int size : {16, 32, 48, 64, 128}) {
        SCOPED_TRACE(size);
        EXPECT_TRUE(icon.availableSizes().contains(QSize(size, size)));
        const QImage image = icon.pixmap(size, size).toImage();
        ASSERT_EQ(image.size(), QSize(size, size));
        // The chip fills the middle; the corners stay transparent.
        EXPECT_EQ(qAlpha(image.pixel(size / 2, size / 2)), 255);
        EXPECT_EQ(qAlpha(image.pixel(0, 0)), 0);
    }
}

TEST(AppIcon, SetOnceItReachesEveryWindow) {
    setApplicationIdentity();
    EXPECT_EQ(QGuiApplication::desktopFileName(), QStringLiteral("org.ostrel.Quill"));
    frmAbout about;
    QWidget plain;
    for (const QWidget* window : std::array<const QWidget*, 2>{&about, &plain}) {
        const QImage shown = window->windowIcon().pixmap(48, 48).toImage();
        const QImage drawn = applicationIcon().pixmap(48, 48).toImage();
        EXPECT_FALSE(shown.isNull());
        EXPECT_EQ(shown, drawn);
    }
}

} // namespace
} // namespace quill

// Under one QApplication on Qt's offscreen platform (the test list is read
// at build time, with no display).
int main(int argc, char** argv) {
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) {
        qputenv("QT_QPA_PLATFORM", "offscreen");
    }
    QApplication app(argc, argv);
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
