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

TEST(QtTimerTest, FiresOnceWhenTheHandlerDisablesIt) {
    QtTimer timer;
    int fired = 0;
    timer.setHandler([&] {
        timer.setEnabled(false);
        ++fired;
    });
    timer.setInterval(20);
    timer.setEnabled(true);
    EXPECT_TRUE(waitFor([&] { return fired == 1; }, 2000));
    runEventsFor(100);
    EXPECT_EQ(fired, 1);
    EXPECT_FALSE(timer.enabled());
    EXPECT_EQ(timer.interval(), 20);
}

TEST(QtTimerTest, FiresEveryIntervalUntilDisabled) {
    QtTimer timer;
    int fired = 0;
    timer.setHandler([&] { ++fired; });
    timer.setInterval(10);
    timer.setEnabled(true);
    EXPECT_TRUE(waitFor([&] { return fired >= 3; }, 2000));
    timer.setEnabled(false);
    const int atStop = fired;
    runEventsFor(60);
    EXPECT_EQ(fired, atStop);
}

TEST(QtTimerTest, IntervalZeroNeverFires) {
    QtTimer timer;
    int fired = 0;
    timer.setHandler([&] { ++fired; });
    timer.setInterval(0);
    timer.setEnabled(true);
    runEventsFor(100);
    EXPECT_EQ(fired, 0);
    EXPECT_TRUE(timer.enabled());

    timer.setInterval(10); // enabled all along: this starts the countdown
    EXPECT_TRUE(waitFor([&] { return fired > 0; }, 2000));
    timer.setInterval(0);
    const int atZero = fired;
    runEventsFor(60);
    EXPECT_EQ(fired, atZero);
}

TEST(QtTimerTest, EnablingAgainOrSettingTheIntervalStartsAFreshCountdown) {
    QtTimer timer;
    QElapsedTimer clock;
    qint64 firedAt = -1;
    qint64 rearmedAt = -1;
    timer.setHandler([&] {
        timer.setEnabled(false);
        firedAt = clock.elapsed();
    });
    const std::function<void()> rearms[] = {
        [&] { timer.setEnabled(true); },
        [&] { timer.setInterval(300); },
    };
    for (const auto& rearm : rearms) {
        firedAt = rearmedAt = -1;
        timer.setInterval(300);
        clock.start();
        timer.setEnabled(true);
        QTimer::singleShot(100, Qt::PreciseTimer, [&] {
            rearmedAt = clock.elapsed();
            rearm();
        });
        EXPECT_TRUE(waitFor([&] { return firedAt >= 0; }, 3000));
        ASSERT_GE(rearmedAt, 0);
        EXPECT_GE(firedAt, rearmedAt + 300);
    }
}

} // namespace
} // namespace quill
