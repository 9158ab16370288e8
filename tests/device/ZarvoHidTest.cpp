#include "ZarvoHid.h"
#include "OutputCapture.h"

#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

using zarvo::Slot;
using zarvo::ZarvoHid;
using zarvo::test::LogCapture;

namespace
{
struct Notification
{
    unsigned short vendorId, productId;
    int removed;
};

constexpr Notification arrival{ 0xFF01, 0x0009, 0 };
constexpr Notification removal{ 0xFF01, 0x0009, 1 };

void notify (ZarvoHid& hid, const Notification& n)
{
    ZarvoHid::HidDeviceChangeCallback (n.vendorId, n.productId, "/sys/devices/x/0003:FF01:0009.0001/hidraw/hidraw0",
                                       n.removed, &hid);
}

// A handler that logs its name and the change it was told of, the way the control panel's does.
void connectLoggingSlot (ZarvoHid& hid, const std::string& name)
{
    hid.deviceChangedSignal.push_back (std::make_shared<Slot<>> (
        [&hid, name]
        { juce::Logger::outputDebugString (juce::String (name) + " sees " + juce::String (hid.lastDeviceChange)); }));
}
} // namespace

TEST (ZarvoHid, StartsWithoutDeviceOrSlotsAndIsNeverShown)
{
    ZarvoHid hid;
    EXPECT_EQ (hid.hidDevice, nullptr);
    EXPECT_EQ (hid.lastDeviceChange, 0);
    EXPECT_TRUE (hid.deviceChangedSignal.empty());
    EXPECT_FALSE (hid.isVisible());
    EXPECT_EQ (hid.getParentComponent(), nullptr);
    EXPECT_FALSE (hid.isOnDesktop());
}

TEST (ZarvoHid, DeviceChangeNotificationsLogAndRunTheSlotsInOrder)
{
    struct Case
    {
        const char* name;
        std::vector<Notification> notifications;
        std::vector<std::string> slots;
        std::vector<std::string> expectedLines;
        int expectedLastChange;
    };
    const Case cases[] = {
        { "arrival",
          { arrival },
          { "handler" },
          { "start_test!!!!!!!!!", "handler sees 0", "65281----9----0", "HidDeviceChangeCallback:0" },
          0 },
        { "removal",
          { removal },
          { "handler" },
          { "start_test!!!!!!!!!", "handler sees 1", "65281----9----1", "HidDeviceChangeCallback:1" },
          1 },
        { "removal then arrival",
          { removal, arrival },
          { "handler" },
          { "start_test!!!!!!!!!", "handler sees 1", "65281----9----1", "HidDeviceChangeCallback:1",
            "start_test!!!!!!!!!", "handler sees 0", "65281----9----0", "HidDeviceChangeCallback:0" },
          0 },
        { "two slots in connection order",
          { removal },
          { "first", "second" },
          { "start_test!!!!!!!!!", "first sees 1", "second sees 1", "65281----9----1", "HidDeviceChangeCallback:1" },
          1 },
        { "no slot", { arrival }, {}, { "start_test!!!!!!!!!", "65281----9----0", "HidDeviceChangeCallback:0" }, 0 },
        { "another vendor", { { 0x046D, 0x0009, 1 } }, { "handler" }, {}, 0 },
        { "another product", { { 0xFF01, 0x0008, 1 } }, { "handler" }, {}, 0 },
        { "both ids swapped", { { 0x0009, 0xFF01, 1 } }, { "handler" }, {}, 0 },
    };
    for (const auto& c : cases)
    {
        SCOPED_TRACE (c.name);
        ZarvoHid hid;
        for (const auto& slot : c.slots)
            connectLoggingSlot (hid, slot);

        LogCapture log;
        for (const auto& n : c.notifications)
            notify (hid, n);

        EXPECT_EQ (log.lines(), c.expectedLines);
        EXPECT_EQ (hid.lastDeviceChange, c.expectedLastChange);
        EXPECT_EQ (hid.hidDevice, nullptr);
    }
}

TEST (ZarvoHid, TheLastLineReadsTheChangeAgainAfterTheHandlersRan)
{
    ZarvoHid hid;
    hid.deviceChangedSignal.push_back (std::make_shared<Slot<>> ([&hid] { hid.lastDeviceChange = 7; }));

    LogCapture log;
    notify (hid, removal);

    const std::vector<std::string> expected{ "start_test!!!!!!!!!", "65281----9----1", "HidDeviceChangeCallback:7" };
    EXPECT_EQ (log.lines(), expected);
}

TEST (ZarvoHid, EmitSignalsWithoutSlotsOnlyLogs)
{
    ZarvoHid hid;
    LogCapture log;
    hid.emitSignals();
    EXPECT_EQ (log.lines(), std::vector<std::string>{ "start_test!!!!!!!!!" });
}
