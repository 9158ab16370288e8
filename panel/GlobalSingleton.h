// The process-wide holder of the value queues: slider values wait here for the command pacer, and
// the level meter's segment indices for the meter's consumer. It exists from static initialisation
// until the process ends, so producers and consumers need no set-up order of their own.
#pragma once

#include <juce_gui_basics/juce_gui_basics.h>

#include <deque>

class GlobalSingleton : public juce::Component
{
public:
    // The one instance; never null once static initialisation is over, never to be deleted.
    static GlobalSingleton* getInstance();

    ~GlobalSingleton() override;

    // Producers push at the back, consumers take from the front. Nothing clears or bounds them.
    std::deque<int> singleQueue;      // gain, device units
    std::deque<int> reverbDequeValue; // reverberation depth, device units
    std::deque<int> noiseDequeValue;  // noise-reduction level, device units
    std::deque<int> reverbTimeQueue;  // reverberation time, device units
    std::deque<int> singleUpDeque;    // indices 0 to 23 of the meter segments to light

private:
    GlobalSingleton();

    JUCE_DECLARE_NON_COPYABLE (GlobalSingleton)
};
