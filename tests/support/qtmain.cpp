// SPDX-License-Identifier: MIT
// The main of the tests that need Qt's event machinery (serial ports,
// sockets, Qt SQL's drivers): one QCoreApplication; built with
// QUILL_TEST_WIDGETS, one QApplication on Qt's offscreen platform (also
// when ctest lists the tests, before its environment applies).

#ifdef QUILL_TEST_WIDGETS
#include <QApplication>
#else
#include <QCoreApplication>
#endif
#include <gtest/gtest.h>

int main(int argc, char** argv) {
#ifdef QUILL_TEST_WIDGETS
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) {
        qputenv("QT_QPA_PLATFORM", "offscreen");
    }
    QApplication app(argc, argv);
#else
    QCoreApplication app(argc, argv);
#endif
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
