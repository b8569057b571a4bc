// SPDX-License-Identifier: MIT
#pragma once
// One PostgreSQL server for all the tests of a process, made when first
// needed, stopped before the process ends.

#include "pgserver.h"

#include <gtest/gtest.h>

#include <memory>

namespace quill::test {

inline std::unique_ptr<PgServer> sharedPgServerSlot;

inline PgServer& sharedPgServer() {
    if (!sharedPgServerSlot) {
        sharedPgServerSlot = std::make_unique<PgServer>();
    }
    return *sharedPgServerSlot;
}

struct StopSharedPgServer : ::testing::Environment {
    void TearDown() override { sharedPgServerSlot.reset(); }
};
inline const auto* const stopSharedPgServer =
    ::testing::AddGlobalTestEnvironment(new StopSharedPgServer);

} // namespace quill::test
