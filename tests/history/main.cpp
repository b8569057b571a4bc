// SPDX-License-Identifier: MIT
// The history's tests, under one QCoreApplication: Qt SQL loads its
// drivers through it.

#include <QCoreApplication>
#include <gtest/gtest.h>

int main(int argc, char** argv) {
    QCoreApplication app(argc, argv);
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
