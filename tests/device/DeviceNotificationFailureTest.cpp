// Runs alone in its process: it needs a process where nothing has registered yet.
#include "NotificationRecorder.h"
#include "UdevEventInjector.h"

#include <gtest/gtest.h>

#include <sys/resource.h>
#include <unistd.h>

#include <vector>

using namespace zarvo::test;
using zarvo::hid::hid_register_device_notification;

namespace
{
int userDataA = 0;
int userDataB = 0;

// Takes every free file descriptor for its lifetime, so that no socket can be created.
class DescriptorExhaustion
{
public:
    DescriptorExhaustion()
    {
        getrlimit (RLIMIT_NOFILE, &saved);
        auto lowered = saved;
        lowered.rlim_cur = 256;
        setrlimit (RLIMIT_NOFILE, &lowered);
        for (int fd; (fd = dup (STDERR_FILENO)) >= 0;)
            taken.push_back (fd);
    }
    ~DescriptorExhaustion()
    {
        for (auto fd : taken)
            close (fd);
        setrlimit (RLIMIT_NOFILE, &saved);
    }

private:
    rlimit saved{};
    std::vector<int> taken;
};
} // namespace

TEST (DeviceNotificationFailure, AFailedFirstRegistrationStoresNothingSoTheNextOneCreatesTheSource)
{
    ZARVO_ENTER_PRIVATE_NETWORK_NAMESPACE();
    UdevEventInjector injector;
    ASSERT_TRUE (injector.isOpen()) << injector.error();
    const auto q7trArrival = UdevEventInjector::hidrawEvent ("add", 0xFF01, 0x0009);

    {
        DescriptorExhaustion exhaustion;
        hid_register_device_notification (recordA, &userDataA);
    }
    EXPECT_TRUE (deliverUnheard (injector, { q7trArrival }).empty());

    hid_register_device_notification (recordB, &userDataB);
    const auto calls = deliver (injector, { q7trArrival });
    ASSERT_EQ (calls.size(), 1u);
    EXPECT_EQ (calls[0].callback, 'B');
    EXPECT_EQ (calls[0].userData, &userDataB);
}
