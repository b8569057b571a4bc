// SPDX-License-Identifier: MIT
#pragma once
// The simulated world with a trace: the engine is built on the trace
// session's decorators of the world's serial port, timer, boxes and wait
// dialog, as the programs build it. The world's own engine stays idle: the
// engine built here registers with the port, the timer and the dialog after
// it, and only this one is started.

#include "simworld.h"
#include "trace/tracesession.h"

namespace quill::sim {

struct TracedWorld {
    SimWorld world;
    TraceSession session{world.m,     world.port,       world.timer,
                         world.boxes, world.waitDialog, [this] { return world.loop.now() * 1000; }};
    Downloader engine{session.wrap(world.context)};

    // "Start Download" as the window presses it, then the world runs out.
    void startAndRun() {
        session.noteStart();
        engine.cmdStart_Click();
        world.loop.runAll();
    }
};

} // namespace quill::sim
