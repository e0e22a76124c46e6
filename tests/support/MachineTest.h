#pragma once

// A test on one backend run on a stand-in machine of its own: a prefix whose
// registry names a fresh database, a working folder made current, and message
// box capture.

#include <gtest/gtest.h>

#include <memory>

#include "support/TestSupport.h"

namespace zentra_test {

class MachineTest : public ::testing::TestWithParam<Backend> {
protected:
    void SetUp() override
    {
        ZENTRA_REQUIRE_BACKEND(GetParam());
        prefix = std::make_unique<Prefix>(GetParam());
        db = std::make_unique<HostDatabase>(GetParam());
        prefix->registerDatabase(*db);
        work = std::make_unique<WorkFolder>();
        boxes = std::make_unique<MessageBoxCapture>();
    }

    std::unique_ptr<Prefix> prefix;
    std::unique_ptr<HostDatabase> db;
    std::unique_ptr<WorkFolder> work;
    std::unique_ptr<MessageBoxCapture> boxes;
};

}  // namespace zentra_test
