// A thousand unplugs and replugs of the virtual KT-Q7TR, each announced by an injected udev event,
// with a handler that reopens the microphone on every arrival as the control panel does: the
// process must end with as many open file descriptors as it had after the first open.
#include "HidTransport.h"
#include "OpenedMicrophoneTest.h"
#include "OutputCapture.h"
#include "PollUntil.h"
#include "UdevEventInjector.h"
#include "ZarvoHid.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <memory>
#include <string>

using namespace zarvo;
using namespace zarvo::test;

namespace
{
constexpr int cycles = 1000;

using OpenDeviceStress = OpenedMicrophoneTest;
} // namespace

TEST_F (OpenDeviceStress, ReopeningOnEveryArrivalLeavesNoFileDescriptorBehind)
{
    UdevEventInjector injector;
    ASSERT_TRUE (injector.isOpen()) << injector.error();
    hid::linux_layer::setEnumerationSource (microphone().enumerationSource());

    int arrivals = 0;
    int removals = 0;
    int failedReopens = 0;
    device.deviceChangedSignal.push_back (std::make_shared<Slot<>> (
        [&]
        {
            if (device.lastDeviceChange == 1)
            {
                ++removals;
                return;
            }
            ++arrivals;
            if (device.openDevice() != 0)
                ++failedReopens;
        }));

    const auto added =
        UdevEventInjector::hidrawEvent ("add", VirtualMicrophone::vendorId, VirtualMicrophone::productId);
    const auto removed =
        UdevEventInjector::hidrawEvent ("remove", VirtualMicrophone::vendorId, VirtualMicrophone::productId);

    int baseline = 0;
    int heartbeatWhileAway = 0;
    int heartbeatAtEnd = 0;
    int descriptorsAtEnd = 0;
    int cyclesDone = 0;
    {
        StdoutCapture out;
        LogCapture log;
        ASSERT_EQ (device.openDevice(), 0);
        baseline = openFileDescriptors();

        for (; cyclesDone < cycles; ++cyclesDone)
        {
            microphone().vanish();
            if (!injector.send (removed) || !runMessageLoopUntil ([&] { return removals == cyclesDone + 1; }))
                break;
            if (cyclesDone == 0)
                heartbeatWhileAway = device.sendHeartbeat();

            microphone().comeBack();
            if (!injector.send (added) || !runMessageLoopUntil ([&] { return arrivals == cyclesDone + 1; }))
                break;
            log.clear();
        }
        heartbeatAtEnd = device.sendHeartbeat();
        descriptorsAtEnd = openFileDescriptors(); // while the captures still hold theirs
    }

    ASSERT_EQ (cyclesDone, cycles) << injector.error();
    EXPECT_EQ (failedReopens, 0);
    EXPECT_EQ (heartbeatWhileAway, -1);
    EXPECT_EQ (heartbeatAtEnd, reportLength + 1);
    EXPECT_EQ (descriptorsAtEnd, baseline);
}
