// SPDX-License-Identifier: MIT
// Real QTimer with short intervals: the waits are bounded, and the checks
// allow for a loaded machine firing late, never early.

#include "platform/qt/qttimer.h"

#include "ptypair.h"

#include <QElapsedTimer>
#include <QTimer>
#include <gtest/gtest.h>

namespace quill {
namespace {

using test::runEventsFor;
using test::waitFor;

TEST(QtTimerTest, EnablingAgainOrSettingTheIntervalStartsAFreshCountdown) {
    QtTimer timer;
    QElapsedTimer clock;
    qint64 firedAt = -1;
    qint64 rearmedAt = -1;
    int fired = 0;
    timer.setHandler([&] {
        ++fired;
        timer.setEnabled(false); // as the download's handler does: no second expiry
        firedAt = clock.elapsed();
    });
    for (const bool viaInterval : {false, true}) {
        SCOPED_TRACE(viaInterval ? "setInterval" : "setEnabled");
        firedAt = rearmedAt = -1;
        timer.setInterval(300);
        clock.start();
        timer.setEnabled(true);
        QTimer::singleShot(100, Qt::PreciseTimer, [&] {
            rearmedAt = clock.elapsed();
            viaInterval ? timer.setInterval(300) : timer.setEnabled(true);
        });
        EXPECT_TRUE(waitFor([&] { return firedAt >= 0; }, 3000));
        ASSERT_GE(rearmedAt, 0);
        EXPECT_GE(firedAt, rearmedAt + 300);
    }
    runEventsFor(400);
    EXPECT_EQ(fired, 2);
    EXPECT_FALSE(timer.enabled());
}

} // namespace
} // namespace quill
