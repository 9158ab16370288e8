#include "VirtualMicrophoneTest.h"

namespace zarvo::test
{
void VirtualMicrophoneTest::SetUp()
{
    mic = std::make_unique<VirtualMicrophone> (identity());
    std::string whyNot;
    if (mic->start (whyNot))
        return;
    if (fuseIsRequired())
        FAIL() << "CI=true requires the virtual microphone, but FUSE cannot be used: " << whyNot;
    GTEST_SKIP() << whyNot;
}

void VirtualMicrophoneTest::TearDown()
{
    hid::linux_layer::useSystemEnumeration();
}
} // namespace zarvo::test
