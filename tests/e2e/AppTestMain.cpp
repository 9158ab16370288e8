// The main of the test executables that start the shipped app. JUCE's single-instance lock of the
// app is a file in /var/tmp, and /var/tmp is the whole machine's: any other copy of ZarvoQ7TR (a
// developer's, another test's, one left by a crashed run) would make every copy started here quit at
// once, and these copies would stop that one's second start. So first of all, before any thread and
// before the first copy of the app, the process takes a /var/tmp of its own, a tmpfs in a mount
// namespace of its own: the copies that one executable starts still meet each other there, and
// nothing outside meets them.
#include "PrivateMountNamespace.h"
#include "TestRun.h"

int main (int argc, char** argv)
{
    const auto failure = zarvo::test::mountPrivateTmpfs ("/var/tmp");
    return zarvo::test::runTests (argc, argv,
                                  failure.empty() ? std::string()
                                                  : "no /var/tmp of this test's own, for the app's "
                                                    "single-instance lock: " +
                                                        failure);
}
