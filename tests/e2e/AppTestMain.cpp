// The main of the test executables that start the shipped app. JUCE's single-instance lock of the
// app is a file in /var/tmp, and /var/tmp is the whole machine's: any other copy of ZarvoQ7TR (a
// developer's, another test's, one left by a crashed run) would make every copy started here quit at
// once, and these copies would stop that one's second start. So first of all, before any thread and
// before the first copy of the app, the process takes a /var/tmp of its own, a tmpfs in a mount
// namespace of its own: the copies that one executable starts still meet each other there, and
// nothing outside meets them. Then it takes a network namespace of its own, where the machine's
// hotplug events do not come and where the tests' own events go to their copies only; the launcher
// refuses to start the app from anywhere else.
#include "PrivateMountNamespace.h"
#include "TestRun.h"
#include "UdevEventInjector.h"

int main (int argc, char** argv)
{
    using zarvo::test::withReason;
    auto failure = withReason ("no /var/tmp of this test's own, for the app's single-instance lock: ",
                               zarvo::test::mountPrivateTmpfs ("/var/tmp"));
    if (failure.empty())
        failure = withReason ("no private network namespace: ", zarvo::test::enterPrivateNetworkNamespace());
    return zarvo::test::runTests (argc, argv, failure);
}
