// The four sliders: their values in device units, their value labels, and the values they hand to
// the command pacer through the value queues, at the start and end of a drag and every 60 ms
// between; and their steps from the keyboard, which queue as a click does.
#include "BackgroundComponent.h"

#include <algorithm>
#include <iterator>
#include <utility>

namespace
{
void log (const juce::String& line)
{
    juce::Logger::outputDebugString (line);
}

// Negative noise-reduction levels are written as the unsigned reading of their 32 bits.
juce::String asUnsigned (int value)
{
    return juce::String (static_cast<juce::uint32> (value));
}

constexpr int pushInterval = 60;

int sliderValue (const juce::Slider& slider)
{
    return static_cast<int> (slider.getValue());
}

// Device units. Gain goes through a float fraction; for 0 to 100 every formula equals its
// integer form (v * 4096 / 100, (v - 100) * 90, v * 3, v).
int gainUnits (int v)
{
    return static_cast<int> (static_cast<float> (v / 100.0) * 4096.0f);
}

int noiseUnits (int v)
{
    return static_cast<int> ((v - 100) * 0.9 * 100.0);
}

int depthUnits (int v)
{
    return v * 3;
}

// The keys a slider takes as a step of its value: an arrow without a modifier (a key press equals a
// key code only while no modifier is down). 1 up, -1 down, 0 for any other key.
int stepOf (const juce::KeyPress& key)
{
    if (key == juce::KeyPress::rightKey || key == juce::KeyPress::upKey)
        return 1;
    if (key == juce::KeyPress::leftKey || key == juce::KeyPress::downKey)
        return -1;
    return 0;
}
} // namespace

void BackgroundComponent::sliderValueChanged (juce::Slider* slider)
{
    const int v = sliderValue (*slider);
    if (slider == &gainSlider)
    {
        log ("gainSliderValue: " + juce::String (v));
        gainFraction = static_cast<float> (v / 100.0);
        log ("gainSliderValue / 100: " + juce::String::formatted ("%f", static_cast<double> (gainFraction)));
        gainValueLabel.setText (juce::String (v), juce::dontSendNotification);
        gainValue = static_cast<int> (gainFraction * 4096.0f);
    }
    else if (slider == &noiseSlider)
    {
        noiseValueLabel.setText (juce::String (v), juce::dontSendNotification);
        noiseValue = noiseUnits (v);
        log ("==NoiseSliderValue : " + asUnsigned (noiseValue));
    }
    else if (slider == &reverbDepthSlider)
    {
        reverbDepthValueLabel.setText (juce::String (v), juce::dontSendNotification);
        reverbDepthValue = depthUnits (v);
        log ("====ReverbSliderValue : " + asUnsigned (reverbDepthValue));
    }
    else if (slider == &reverbTimeSlider)
    {
        reverbTimeValueLabel.setText (juce::String (v), juce::dontSendNotification);
        reverbTimeValue = v;
    }
}

void BackgroundComponent::sliderDragStarted (juce::Slider* slider)
{
    const int v = sliderValue (*slider);
    const char* timerLine = nullptr;
    if (slider == &gainSlider)
    {
        gainDragging = true;
        gainValue = gainUnits (v);
        gainDeque->push_back (gainValue);
        log ("Gain_silderDragStarted: " + asUnsigned (gainValue));
        timerLine = "Gain_silderDragStarted: myTimer is running!";
    }
    else if (slider == &noiseSlider)
    {
        noiseDragging = true;
        noiseValue = noiseUnits (v);
        noiseDeque->push_back (noiseValue);
        log ("==Noise_silderDragStarted: " + asUnsigned (noiseValue));
        timerLine = "==Noise_silderDragStarted: myTimer is running!";
    }
    else if (slider == &reverbDepthSlider)
    {
        reverbDepthDragging = true;
        depthSendEnabled = true;
        reverbDepthValue = depthUnits (v);
        reverbDepthDeque->push_back (reverbDepthValue);
        log ("====Reverb_silderDragStarted: " + asUnsigned (reverbDepthValue));
        timerLine = "====Reverb_silderDragStarted: myTimer is running!";
    }
    else if (slider == &reverbTimeSlider)
    {
        reverbTimeDragging = true;
        timeSendEnabled = true;
        reverbTimeValue = v;
        reverbTimeDeque->push_back (reverbTimeValue);
        log ("====Reverb_TimeSilderDragStarted: " + asUnsigned (reverbTimeValue));
        timerLine = "====Reverb_silderDragStarted: myTimer is running!";
    }

    // A timer already running keeps its phase.
    if (timerLine != nullptr && !myTimer->isTimerRunning())
    {
        log (timerLine);
        myTimer->startTimer (pushInterval);
    }
}

void BackgroundComponent::sliderDragEnded (juce::Slider* slider)
{
    const int v = sliderValue (*slider);
    if (slider == &gainSlider)
    {
        gainValue = gainUnits (v);
        gainDeque->push_back (gainValue);
        log ("GainsliderDragEnded: " + asUnsigned (gainValue) + " This data has been processed");
        gainDragging = false;
    }
    else if (slider == &noiseSlider)
    {
        const int value = noiseUnits (v);
        noiseDeque->push_back (value);
        log ("==NoisesliderDragEnded: " + asUnsigned (value));
        noiseDragging = false;
    }
    else if (slider == &reverbDepthSlider)
    {
        reverbDepthValue = depthUnits (v);
        reverbDepthDeque->push_back (reverbDepthValue);
        log ("====ReverbsliderDragEnded: " + asUnsigned (reverbDepthValue));
        depthSendEnabled = false;
        depthDrainPending = true;
        reverbDepthDragging = false;
    }
    else if (slider == &reverbTimeSlider)
    {
        reverbTimeValue = v;
        reverbTimeDeque->push_back (reverbTimeValue);
        timeSendEnabled = false;
        timeDrainPending = true;
        reverbTimeDragging = false;
    }

    if (!gainDragging && !noiseDragging && !reverbDepthDragging && !reverbTimeDragging)
    {
        log ("====ReverbsliderDragEnded: 3Queue is Empty.  myTimer stop.");
        myTimer->stopTimer();
    }
}

void BackgroundComponent::storeSliderDeviceValues()
{
    // The sliders hold the read-back values within their range, as their notifications will.
    const int gain = sliderValue (gainSlider);
    gainFraction = static_cast<float> (gain / 100.0);
    gainValue = gainUnits (gain);
    noiseValue = noiseUnits (sliderValue (noiseSlider));
    reverbDepthValue = depthUnits (sliderValue (reverbDepthSlider));
    reverbTimeValue = sliderValue (reverbTimeSlider);
}

void BackgroundComponent::BackgroundTimer::timerCallback()
{
    log ("BackgroundTimer is running...");

    // Muted or not: the pacer holds the values back while muted.
    log ("~~singleQueue Put a piece of data into a Queue");
    owner->gainDeque->push_back (owner->gainValue);

    if (!owner->noiseOff)
    {
        log ("~~noiseDequeValue Put a piece of data into a Queue");
        owner->noiseDeque->push_back (owner->noiseValue);
    }

    if (!owner->reverbOff)
    {
        if (owner->depthSendEnabled)
        {
            log ("important !!!!~~reverbDequeValue Put a piece of data into a Queue" +
                 asUnsigned (owner->reverbDepthValue));
            owner->reverbDepthDeque->push_back (owner->reverbDepthValue);
        }
        if (owner->timeSendEnabled)
            owner->reverbTimeDeque->push_back (owner->reverbTimeValue);
    }

    log ("30ms");
    log ("===============================");
}

bool BackgroundComponent::SliderKeyListenerProxy::keyPressed (const juce::KeyPress& key,
                                                              juce::Component* originatingComponent)
{
    auto& panel = *owner;
    const std::pair<juce::Slider*, bool> sliders[] = {
        { &panel.gainSlider, panel.gainDragging },
        { &panel.noiseSlider, panel.noiseDragging },
        { &panel.reverbDepthSlider, panel.reverbDepthDragging },
        { &panel.reverbTimeSlider, panel.reverbTimeDragging },
    };
    const auto* found = std::find_if (std::begin (sliders), std::end (sliders),
                                      [&] (const auto& entry) { return entry.first == originatingComponent; });
    const int step = stepOf (key);
    if (found == std::end (sliders) || step == 0)
        return false;
    auto& slider = *found->first;

    // (Under the no-device mask no key comes here: the mask holds the focus. A slider of a
    // switched-off effect needs no care either: disabling it gave its keyboard focus away.)

    // During a mouse drag of this slider a key moves the value as a movement of the mouse does; the
    // drag's end queues where it ends. At either end of the range the value stays: nothing to queue.
    const double stepped =
        juce::jlimit (slider.getMinimum(), slider.getMaximum(), slider.getValue() + step * slider.getInterval());
    if (found->second || stepped == slider.getValue())
        return slider.keyPressed (key);

    // The drag start queues the value before the step, the drag end the value after it.
    const juce::Slider::ScopedDragNotification drag (slider);
    return slider.keyPressed (key);
}
