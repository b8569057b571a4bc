// SPDX-License-Identifier: MIT
#include "download/tracewriter.h"
#include "tracedworld.h"

#include <gtest/gtest.h>
#include <iostream>

namespace quill::sim {
namespace {

TEST(Dump, Manual) {
    TracedWorld t;
    std::string out;
    TraceWriter writer([&](std::string_view s) { out += s; return true; }, TraceWriter::Form::Full);
    t.session.addObserver(&writer);
    t.world.chooseFile(":0400000001020304F2\r\n:00000001FF\r\n");
    t.world.setUpPort(9600, device_manual);
    t.world.connect({});
    t.startAndRun();
    writer.flush();
    std::cout << out;
}

TEST(Dump, Tracker) {
    TracedWorld t;
    std::string out;
    TraceWriter writer([&](std::string_view s) { out += s; return true; }, TraceWriter::Form::Short);
    t.session.addObserver(&writer);
    t.world.chooseFile(":0400000001020304F2\r\n:00000001FF\r\n");
    t.world.setUpPort(9600, device_tracker);
    t.world.connect({.kind = devsim::Kind::Tracker});
    t.startAndRun();
    writer.flush();
    std::cout << out;
}

} // namespace
} // namespace quill::sim
