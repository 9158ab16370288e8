// The input level meter: DectorTimer turns the last input level, scaled by the gain slider, into
// the run of segment indices 0, 1, ..., k and queues it; its MyTimer takes the list and lights the
// segments by hiding their covers. The factor is applied once per segment, not once per tick, and
// a list ending below 23 darkens its own last segment too: the meter shows 0 to 22 or all 24.
#include "BackgroundComponent.h"

#include <cmath>

namespace
{
void log (const juce::String& line)
{
    juce::Logger::outputDebugString (line);
}

constexpr int segmentCount = 24;
constexpr int meterInterval = 10;

// One decibel per segment, from 23 dB below 32768 up to 32768 itself.
unsigned int threshold (int segment)
{
    const float exponent = static_cast<float> (segment - 23) / 20.0f;
    return static_cast<unsigned int> (32768.0 * std::pow (10.0, static_cast<double> (exponent)));
}

void showCover (BackgroundComponent& panel, int segment)
{
    panel.addAndMakeVisible (panel.m_mask.at ((size_t)segment).get());
}
} // namespace

BackgroundComponent::DectorTimer::DectorTimer (BackgroundComponent* panel, std::deque<int>* segmentQueue)
    : maskTimer (std::make_unique<MyTimer> (this)), singleUpDeque (segmentQueue), owner (panel)
{
}

BackgroundComponent::DectorTimer::~DectorTimer()
{
    maskTimer = nullptr;
    stopTimer();
}

void BackgroundComponent::DectorTimer::timerCallback()
{
    auto& panel = *owner;
    if (panel.heartbeat == -1 || panel.heartbeat == 1)
        return;

    if (panel.muted)
    {
        for (int i = segmentCount - 1; i >= 0; --i)
        {
            const MyLock lock (this);
            showCover (panel, i);
        }
        return;
    }

    // The previous list has not been drawn yet.
    if (!singleUpDeque->empty())
        return;

    unsigned int dectorGainValue = panel.inputLevel;
    const float g = panel.gainFraction;
    for (int pos = 0; pos < segmentCount; ++pos)
    {
        log ("1===when dectorGainValue < 50 : " + juce::String (dectorGainValue));

        // The float fraction against double and float limits, exactly so: slider values 80 and 10
        // land in the higher tier, 50 in the lower.
        double factor = 0.0;
        if (static_cast<double> (g) > 0.8)
            factor = 1.0;
        else if (g > 0.5f)
            factor = 0.95;
        else if (static_cast<double> (g) > 0.1)
        {
            factor = 0.8;
            log ("2===when dectorGainValue < 50 : " + juce::String (dectorGainValue));
        }
        else if (g > 0)
            factor = 0.6;

        if (g == 1.0f && dectorGainValue >= 29205)
            dectorGainValue = 32800;
        dectorGainValue = static_cast<unsigned int> (dectorGainValue * factor);
        log ("3===when dectorGainValue < 50 : " + juce::String (dectorGainValue));

        if (pos == 0 && dectorGainValue >= 201 && dectorGainValue <= 2319)
        {
            log ("singleUpDeque->push_back(0) ");
            singleUpDeque->push_back (0);
        }
        if (dectorGainValue >= threshold (pos))
        {
            singleUpDeque->push_back (pos);
            log ("singleUpDeque->push_back(i), i =  " + juce::String (pos));
        }

        maskTimer->startTimer (meterInterval);
    }
}

void BackgroundComponent::DectorTimer::MyTimer::timerCallback()
{
    const MyLock lock (this);
    auto& panel = *owner->owner;
    auto& queue = *owner->singleUpDeque;

    if (!queue.empty())
    {
        const int top = queue.back();
        while (!queue.empty())
        {
            const int modifyNum = queue.front();
            panel.m_mask.at ((size_t)modifyNum)->setVisible (false);
            log ("owner.owner.m_mask.at(modifyNum)->setVisible(false); modifyNum: " + juce::String (modifyNum));
            queue.pop_front();
        }
        if (top < segmentCount - 1)
            for (int i = top; i < segmentCount; ++i)
            {
                showCover (panel, i);
                log ("owner.owner.addAndMakeVisible(owner.owner.m_mask.at(i)); i: " + juce::String (i));
            }
    }

    if (panel.gainFraction == 0.0f)
        for (int i = segmentCount - 1; i >= 0; --i)
            showCover (panel, i);
}
