// A ZarvoHid beside a virtual KT-Q7TR, for the tests that open it: the process is moved into a
// private network namespace first, so that the machine's own device events never reach the
// notification the opening registers, and the handle is released after each test.
#pragma once

#include "FileDescriptors.h"
#include "HidTransport.h"
#include "UdevEventInjector.h"
#include "VirtualMicrophoneTest.h"
#include "ZarvoHid.h"

namespace zarvo::test
{
class OpenedMicrophoneTest : public VirtualMicrophoneTest
{
protected:
    void SetUp() override
    {
        ZARVO_ENTER_PRIVATE_NETWORK_NAMESPACE();
        VirtualMicrophoneTest::SetUp();
    }

    void TearDown() override
    {
        hid::hid_close (device.hidDevice);
        device.hidDevice = nullptr;
        VirtualMicrophoneTest::TearDown();
    }

    ZarvoHid device;
};
} // namespace zarvo::test
