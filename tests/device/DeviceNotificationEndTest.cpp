// Runs alone in its process: it needs a process where nothing has registered yet, and what it
// ends stays ended.
#include "NotificationRecorder.h"
#include "UdevEventInjector.h"

#include <gtest/gtest.h>

using namespace zarvo::test;
using zarvo::hid::hid_register_device_notification;

namespace
{
int userDataA = 0;
int userDataB = 0;
} // namespace

TEST (DeviceNotificationEnd, EndingRemovesTheSourceForGoodAndANullFirstCallDoesNothing)
{
    ZARVO_ENTER_PRIVATE_NETWORK_NAMESPACE();
    UdevEventInjector injector;
    ASSERT_TRUE (injector.isOpen()) << injector.error();
    const auto q7trArrival = UdevEventInjector::hidrawEvent ("add", 0xFF01, 0x0009);
    const auto descriptorsWithoutSource = openFileDescriptors();

    // Ending before any registration: nothing to end, and nothing stored that would keep the next
    // registration from creating the source.
    hid_register_device_notification (nullptr, &userDataB);
    EXPECT_EQ (openFileDescriptors(), descriptorsWithoutSource);

    hid_register_device_notification (recordA, &userDataA);
    EXPECT_GT (openFileDescriptors(), descriptorsWithoutSource);
    const auto calls = deliver (injector, { q7trArrival });
    ASSERT_EQ (calls.size(), 1u);
    EXPECT_EQ (calls[0].callback, 'A');
    EXPECT_EQ (calls[0].userData, &userDataA);

    hid_register_device_notification (nullptr, nullptr);
    EXPECT_EQ (openFileDescriptors(), descriptorsWithoutSource);
    EXPECT_TRUE (deliverUnheard (injector, { q7trArrival }).empty());

    // The callback stayed stored, so this only replaces it: no source, no events.
    hid_register_device_notification (recordB, &userDataB);
    EXPECT_EQ (openFileDescriptors(), descriptorsWithoutSource);
    EXPECT_TRUE (deliverUnheard (injector, { q7trArrival }).empty());
}
