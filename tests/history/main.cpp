// SPDX-License-Identifier: MIT
// The history's tests, under one QCoreApplication (Qt SQL loads its
// drivers through it). Run as
//
//     test_history --write LOCATION COUNT TAG end|abandon|nogrow
//
// the program is one of the writers the tests start: COUNT attempts on the
// port TAG, each begun and ended; "abandon" begins one and dies without
// ending it; "nogrow" writes one into a history whose files may not grow.

#include "history/historystore.h"

#include <QCoreApplication>
#include <gtest/gtest.h>

#include <csignal>
#include <cstdio>
#include <cstring>
#include <string>
#include <sys/resource.h>

namespace {

int write(const std::string& location, int count, const std::string& tag, const std::string& how) {
    if (how == "nogrow") {
        std::signal(SIGXFSZ, SIG_IGN);
        const rlimit none{0, RLIM_INFINITY};
        setrlimit(RLIMIT_FSIZE, &none);
    }
    auto where = location.starts_with("postgresql:") ? quill::parseHistoryUrl(location)
                                                     : quill::sqliteHistory(location);
    auto store = quill::HistoryStore::open(*where);
    for (int unit = 1; store && unit <= count; ++unit) {
        quill::Attempt a;
        a.startedMs = 1000 * unit;
        a.port = tag;
        a.unit = unit;
        a.recordsTotal = unit;
        const auto id = (*store)->begin(a);
        if (!id) {
            std::fprintf(stderr, "%s\n", id.error().text().c_str());
            return 3;
        }
        if (how == "abandon") {
            std::raise(SIGKILL); // as a station that loses power
        }
        a.id = *id;
        a.endedMs = a.startedMs + unit;
        a.recordsSent = unit;
        a.outcome = "complete";
        if (const auto failed = (*store)->end(a)) {
            std::fprintf(stderr, "%s\n", failed->text().c_str());
            return 3;
        }
    }
    if (!store) {
        std::fprintf(stderr, "%s\n", store.error().text().c_str());
        return 3;
    }
    return 0;
}

} // namespace

int main(int argc, char** argv) {
    QCoreApplication app(argc, argv);
    if (argc == 6 && std::strcmp(argv[1], "--write") == 0) {
        return write(argv[2], std::atoi(argv[3]), argv[4], argv[5]);
    }
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
