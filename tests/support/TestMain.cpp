// The main of the test executables: their cases inside an initialised JUCE GUI library.
#include "TestRun.h"

int main (int argc, char** argv)
{
    return zarvo::test::runTests (argc, argv);
}
