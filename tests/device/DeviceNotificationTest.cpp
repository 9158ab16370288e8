#include "NotificationRecorder.h"
#include "OutputCapture.h"
#include "PollUntil.h"
#include "UdevEventInjector.h"
#include "ZarvoHid.h"

#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

using namespace zarvo::test;
using zarvo::hid::hid_register_device_notification;
using zarvo::hid::parseVendorProduct;

TEST (ParseVendorProduct, ReadsTheIdsFromTheHidDeviceNameOfTheWholePath)
{
    struct Case
    {
        const char* path;
        int result;
        unsigned short vendorId, productId;
    };
    const Case cases[] = {
        { "/sys/devices/pci0000:00/0000:00:14.0/usb1/1-2/1-2:1.0/0003:FF01:0009.0004/hidraw/hidraw2", 1, 0xFF01,
          0x0009 },
        { "/sys/devices/pci0000:00/0000:00:14.0/usb1/1-2/1-2:1.0/0003:ff01:0009.0004/hidraw/hidraw2", 1, 0xFF01,
          0x0009 },
        { "/sys/devices/x/0003:fF01:c52B.0001/hidraw/hidraw0", 1, 0xFF01, 0xC52B },
        // A USB interface and a PCI address that also have a ':' after four characters.
        { "/sys/devices/pci0000:00/0000:00:14.0/usb1/1-10/1-10:1.0/0003:046D:C52B.0001/hidraw/hidraw0", 1, 0x046D,
          0xC52B },
        { "/sys/devices/virtual/misc/uhid/0005:046D:B342.0001/hidraw/hidraw0", 1, 0x046D, 0xB342 },
        { "/sys/devices/pci0000:00/0000:00:15.0/i2c-1/i2c-ELAN0001:00/0018:04F3:3147.0001/hidraw/hidraw0", 1, 0x04F3,
          0x3147 },
        // A group cut short by the end of the text reads up to there; one cut off entirely is 0.
        { "/sys/devices/x/0003:FF01", 1, 0xFF01, 0 },
        { "/sys/devices/x/0003:FF01:", 1, 0xFF01, 0 },
        { "/sys/devices/x/0003:FF01:00", 1, 0xFF01, 0 },
        { "/sys/devices/x/0003:FF", 1, 0x00FF, 0 },
        { "0003:", 1, 0, 0 },
        // Not hexadecimal to the group's end.
        { "/sys/devices/x/0003:FG01:0009.0001/hidraw/hidraw0", 0, 0, 0 },
        { "/sys/devices/x/0003:FF01:00G9.0001/hidraw/hidraw0", 0, 0, 0 },
        { "/sys/devices/x/0003:FF1:0009.0001/hidraw/hidraw0", 0, 0, 0 },
        { "/sys/devices/x/0003:FF01:09/hidraw/hidraw0", 0, 0, 0 },
        { "/sys/devices/x/0003:+F01:0009.0001/hidraw/hidraw0", 0, 0, 0 },
        { "/sys/devices/x/0003:0xF1:0009.0001/hidraw/hidraw0", 0, 0, 0 },
        { "/sys/devices/x/0003: FF1:0009.0001/hidraw/hidraw0", 0, 0, 0 },
        // No HID device name at all.
        { "/sys/devices/virtual/misc/hidraw/hidraw0", 0, 0, 0 },
        { "/sys/devices/pci0000:00/0000:00:14.0", 0, 0, 0 },
        { "", 0, 0, 0 },
    };
    for (const auto& c : cases)
    {
        SCOPED_TRACE (c.path);
        unsigned short vendorId = 0xAAAA;
        unsigned short productId = 0xAAAA;
        ASSERT_EQ (parseVendorProduct (c.path, &vendorId, &productId), c.result);
        if (c.result == 1)
        {
            EXPECT_EQ (vendorId, c.vendorId);
            EXPECT_EQ (productId, c.productId);
        }
    }
}

TEST (ParseVendorProduct, ANullPathReadsNothing)
{
    unsigned short vendorId = 0xAAAA;
    unsigned short productId = 0xAAAA;
    EXPECT_EQ (parseVendorProduct (nullptr, &vendorId, &productId), 0);
    EXPECT_EQ (vendorId, 0xAAAA);
    EXPECT_EQ (productId, 0xAAAA);
}

namespace
{
int userDataA = 0;
int userDataB = 0;

std::string syspath (const UdevEvent& event)
{
    return "/sys" + event.devpath;
}

class DeviceNotification : public ::testing::Test
{
protected:
    void SetUp() override
    {
        ZARVO_ENTER_PRIVATE_NETWORK_NAMESPACE();
        injector = std::make_unique<UdevEventInjector>();
        ASSERT_TRUE (injector->isOpen()) << injector->error();
        // The first test to get here creates the event source; the others only replace the callback.
        hid_register_device_notification (recordA, &userDataA);
        recordedCalls().clear();
    }

    std::unique_ptr<UdevEventInjector> injector;
};
} // namespace

TEST_F (DeviceNotification, ArrivalsAndRemovalsReachTheCallbackInOrderOnTheMessageThread)
{
    const auto q7trArrival = UdevEventInjector::hidrawEvent ("add", 0xFF01, 0x0009, 4, 2);
    const auto receiverRemoval = UdevEventInjector::hidrawEvent ("remove", 0x046D, 0xC52B, 1, 0);
    const auto q7trRemoval = UdevEventInjector::hidrawEvent ("remove", 0xFF01, 0x0009, 4, 2);

    const auto calls = deliver (*injector, { q7trArrival, receiverRemoval, q7trRemoval });

    ASSERT_EQ (calls.size(), 3u);
    const struct
    {
        unsigned short vendorId, productId;
        std::string devicePath;
        int removed;
    } expected[] = {
        { 0xFF01, 0x0009, syspath (q7trArrival), 0 },
        { 0x046D, 0xC52B, syspath (receiverRemoval), 1 },
        { 0xFF01, 0x0009, syspath (q7trRemoval), 1 },
    };
    for (size_t i = 0; i < calls.size(); ++i)
    {
        SCOPED_TRACE (i);
        EXPECT_EQ (calls[i].callback, 'A');
        EXPECT_EQ (calls[i].vendorId, expected[i].vendorId);
        EXPECT_EQ (calls[i].productId, expected[i].productId);
        EXPECT_EQ (calls[i].devicePath, expected[i].devicePath);
        EXPECT_EQ (calls[i].removed, expected[i].removed);
        EXPECT_EQ (calls[i].userData, &userDataA);
        EXPECT_TRUE (calls[i].onMessageThread);
    }
}

TEST_F (DeviceNotification, OtherSubsystemsOtherActionsAndUnparsablePathsCallNothing)
{
    const auto q7tr = UdevEventInjector::hidrawEvent ("add", 0xFF01, 0x0009);
    auto inSubsystem = [&q7tr] (const char* subsystem, const char* action)
    {
        auto event = q7tr;
        event.subsystem = subsystem;
        event.action = action;
        return event;
    };
    auto withAction = [&q7tr] (const char* action)
    {
        auto event = q7tr;
        event.action = action;
        return event;
    };
    auto withPath = [&q7tr] (const char* devpath)
    {
        auto event = q7tr;
        event.devpath = devpath;
        return event;
    };
    const std::vector<UdevEvent> ignored{
        inSubsystem ("input", "add"),
        inSubsystem ("usb", "remove"),
        inSubsystem ("hid", "add"),
        withAction ("change"),
        withAction ("bind"),
        withAction ("unbind"),
        withAction ("move"),
        withAction ("online"),
        withAction ("ADD"),
        withPath ("/devices/virtual/misc/hidraw/hidraw5"),
        withPath ("/devices/x/0003:FG01:0009.0001/hidraw/hidraw0"),
        withPath ("/devices/x/0003:FF01:09/hidraw/hidraw0"),
    };

    EXPECT_TRUE (deliver (*injector, ignored).empty());
}

TEST_F (DeviceNotification, ALaterRegistrationReplacesCallbackAndUserDataAndMakesNoSecondSource)
{
    const auto descriptorsBefore = openFileDescriptors();
    hid_register_device_notification (recordB, &userDataB);
    hid_register_device_notification (recordB, &userDataB);
    EXPECT_EQ (openFileDescriptors(), descriptorsBefore);

    const auto calls = deliver (*injector, { UdevEventInjector::hidrawEvent ("add", 0xFF01, 0x0009) });
    ASSERT_EQ (calls.size(), 1u);
    EXPECT_EQ (calls[0].callback, 'B');
    EXPECT_EQ (calls[0].userData, &userDataB);

    // A second source would deliver its copy of each event as well. Each round of the message loop
    // serves every source whose socket holds an event: by the time a later sentinel has come
    // through one source, a second one would have handed on what it held before it.
    EXPECT_TRUE (deliver (*injector, {}).empty());
}

TEST_F (DeviceNotification, LongPathsAreParsedWholeAndHandedOnCutTo255Characters)
{
    // hidrawEvent's device, its first component lengthened until the syspath has the length wanted.
    const auto eventWithSyspathLength = [] (size_t length)
    {
        auto event = UdevEventInjector::hidrawEvent ("add", 0xFF01, 0x0009, 3, 1);
        event.devpath.insert (std::string ("/devices/").size(), length - syspath (event).size(), 'p');
        return event;
    };
    for (size_t length : { 254u, 255u, 256u, 300u, 600u })
    {
        SCOPED_TRACE (length);
        const auto event = eventWithSyspathLength (length);
        ASSERT_EQ (syspath (event).size(), length);

        const auto calls = deliver (*injector, { event });
        ASSERT_EQ (calls.size(), 1u);
        EXPECT_EQ (calls[0].vendorId, 0xFF01);
        EXPECT_EQ (calls[0].productId, 0x0009);
        EXPECT_EQ (calls[0].devicePath, syspath (event).substr (0, 255));
    }
}

TEST_F (DeviceNotification, AQueuedBurstArrivesWholeAndInOrder)
{
    std::vector<UdevEvent> burst;
    for (int i = 0; i < 200; ++i)
        burst.push_back (UdevEventInjector::hidrawEvent (i % 2 == 0 ? "add" : "remove", 0xFF01, 0x0009, i, i % 8));

    const auto calls = deliver (*injector, burst);

    ASSERT_EQ (calls.size(), burst.size());
    for (size_t i = 0; i < calls.size(); ++i)
    {
        EXPECT_EQ (calls[i].removed, static_cast<int> (i % 2)) << i;
        EXPECT_EQ (calls[i].devicePath, syspath (burst[i])) << i;
    }
}

TEST_F (DeviceNotification, KtQ7trEventsRunTheZarvoHidSlotsOnTheMessageThread)
{
    zarvo::ZarvoHid hid;
    std::vector<int> changesSeen;
    bool allOnMessageThread = true;
    hid.deviceChangedSignal.push_back (std::make_shared<zarvo::Slot<>> (
        [&]
        {
            allOnMessageThread = allOnMessageThread && juce::MessageManager::getInstance()->isThisTheMessageThread();
            changesSeen.push_back (hid.lastDeviceChange);
            juce::Logger::outputDebugString ("handler " + juce::String (hid.lastDeviceChange));
        }));
    hid_register_device_notification (&zarvo::ZarvoHid::HidDeviceChangeCallback, &hid);

    LogCapture log;
    for (const auto& event : { UdevEventInjector::hidrawEvent ("remove", 0xFF01, 0x0009, 4, 2),
                               UdevEventInjector::hidrawEvent ("add", 0x046D, 0xC52B, 5, 3),
                               UdevEventInjector::hidrawEvent ("add", 0xFF01, 0x0009, 6, 2) })
        ASSERT_TRUE (injector->send (event)) << injector->error();
    const auto bothSeen = runMessageLoopUntil ([&changesSeen] { return changesSeen.size() == 2; });
    const auto lines = log.lines();
    // No callback may be left holding the object after it is gone.
    hid_register_device_notification (recordA, &userDataA);

    ASSERT_TRUE (bothSeen);
    EXPECT_EQ (changesSeen, (std::vector<int>{ 1, 0 }));
    EXPECT_TRUE (allOnMessageThread);
    const std::vector<std::string> expected{
        "start_test!!!!!!!!!", "handler 1", "65281----9----1", "HidDeviceChangeCallback:1",
        "start_test!!!!!!!!!", "handler 0", "65281----9----0", "HidDeviceChangeCallback:0",
    };
    EXPECT_EQ (lines, expected);
}
