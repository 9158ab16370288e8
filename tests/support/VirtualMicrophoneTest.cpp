#include "VirtualMicrophoneTest.h"

#include "TestRun.h"

namespace zarvo::test
{
void VirtualMicrophoneTest::SetUp()
{
    mic = std::make_unique<VirtualMicrophone> (identity());
    std::string whyNot;
    ZARVO_REQUIRE (mic->start (whyNot) ? std::string() : "no virtual microphone: " + whyNot);
}

void VirtualMicrophoneTest::TearDown()
{
    hid::linux_layer::useSystemEnumeration();
}
} // namespace zarvo::test
