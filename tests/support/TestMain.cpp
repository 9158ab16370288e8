// Runs the GoogleTest cases inside an initialised JUCE GUI library, so that components, timers and
// the message loop work as they do in the app.
#include <juce_gui_basics/juce_gui_basics.h>
#include <gtest/gtest.h>

int main (int argc, char** argv)
{
    ::testing::InitGoogleTest (&argc, argv);
    juce::ScopedJuceInitialiser_GUI juce;
    return RUN_ALL_TESTS();
}
