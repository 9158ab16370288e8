// A gtest fixture that starts a virtual KT-Q7TR for each test. Where FUSE cannot be used the test
// is skipped with the reason, except under CI=true, where it fails. The enumeration seam is back on
// hidapi's enumeration after each test.
#pragma once

#include "VirtualMicrophone.h"

#include <gtest/gtest.h>

#include <memory>

namespace zarvo::test
{
class VirtualMicrophoneTest : public ::testing::Test
{
protected:
    void SetUp() override;
    void TearDown() override;

    // The identity the microphone is started with; override to change it.
    virtual VirtualMicrophone::Identity identity() const { return {}; }

    VirtualMicrophone& microphone() { return *mic; }
    MicrophoneModel& model() { return mic->model(); }

private:
    std::unique_ptr<VirtualMicrophone> mic;
};
} // namespace zarvo::test
