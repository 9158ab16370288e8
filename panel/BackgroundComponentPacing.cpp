// The command pacer: every 10 ms at most one value from each value queue goes to the microphone,
// unless it is muted or the last heartbeat says it does not answer; and the four senders that
// build the set frames.
#include "BackgroundComponent.h"

#include <initializer_list>

namespace
{
void log (const juce::String& line)
{
    juce::Logger::outputDebugString (line);
}

juce::String asUnsigned (int value)
{
    return juce::String (static_cast<juce::uint32> (value));
}

juce::String timeText()
{
    return juce::Time::getCurrentTime().toString (true, true, true, true);
}

constexpr int heartbeatInterval = 60;
const char* const separator = "===============================";

struct SenderLines
{
    const char* first;
    const char* front;
    const char* back;
};

void logSend (const SenderLines& lines, int value)
{
    log (lines.first + asUnsigned (value));
    log (lines.front + juce::String ((value >> 8) & 0xFF));
    log (lines.back + juce::String (value & 0xFF));
}

// Takes the front value of a queue; a value leaves before it is sent and never comes back.
int takeFront (std::deque<int>& queue)
{
    const int value = queue.front();
    queue.pop_front();
    return value;
}
} // namespace

void BackgroundComponent::ZarvoTimer::timerCallback()
{
    auto& panel = *owner;
    log ("ZarvoTimer is running...");
    log ("run!!!!!!!" + juce::String (panel.runLogValue));
    log ("before sleep!!!!!!!");
    log ("before02 sleep!!!!!!!" + juce::String (panel.heartbeat));

    if (panel.heartbeat == -1 || panel.heartbeat == 1)
    {
        log ("sleep!!!!!!!");
    }
    else
    {
        log ("else sleep!!!!!!!");
        log ("ZarvoThread m_isruning is running...");

        if (!panel.muted)
        {
            if (!panel.gainDeque->empty())
            {
                const int v = panel.gainDeque->front();
                log ("Thread deque Gain value: " + asUnsigned (v) + " This data has been processed");
                log ("Thread deque Gain value: " + timeText());
                log (separator);
                panel.sendGain (takeFront (*panel.gainDeque));
            }
            if (!panel.noiseDeque->empty())
            {
                const int v = panel.noiseDeque->front();
                log ("Thread deque Noise value: " + asUnsigned (v));
                log ("Thread deque Noise value getCurrentTime: " + timeText());
                log (separator);
                panel.sendNoiseLevel (takeFront (*panel.noiseDeque));
            }
            // After a drag has ended its queue still drains, until the value it ended on is out.
            if (!panel.reverbDepthDeque->empty() && (panel.depthSendEnabled || panel.depthDrainPending))
            {
                panel.sendReverbDepth (takeFront (*panel.reverbDepthDeque));
                panel.depthDrainPending = panel.depthDrainPending && !panel.reverbDepthDeque->empty();
            }
            if (!panel.reverbTimeDeque->empty() && (panel.timeSendEnabled || panel.timeDrainPending))
            {
                panel.sendReverbTime (takeFront (*panel.reverbTimeDeque));
                panel.timeDrainPending = panel.timeDrainPending && !panel.reverbTimeDeque->empty();
            }
        }
    }

    log ("end sleep!!!!!!!");
}

void BackgroundComponent::dropQueuedSliderValues()
{
    for (auto* queue : { gainDeque, noiseDeque, reverbDepthDeque, reverbTimeDeque })
        queue->clear();
    // A drag still held keeps its send flags: its later values and its end value still go out.
    depthDrainPending = false;
    timeDrainPending = false;
}

void BackgroundComponent::sendGain (int value)
{
    heartbeatTimer->stopTimer();
    logSend ({ "Gain Pre-processing data sent to HID: ", "Gain front: ", "Gain back: " }, value);
    zarvo::ReportBuffer frame;
    zarvo::buildSetFrame (frame, zarvo::group::microphone, zarvo::param::gain, value);
    hid->sendGainMessage (frame.data());
    heartbeatTimer->startTimer (heartbeatInterval);
}

void BackgroundComponent::sendNoiseLevel (int value)
{
    heartbeatTimer->stopTimer();
    logSend ({ "==Noise Pre-processing data sent to HID: ", "==Noise front: ", "==Noise back: " }, value);
    zarvo::ReportBuffer frame;
    zarvo::buildSetFrame (frame, zarvo::group::noiseReduction, zarvo::param::noiseLevel, value);
    hid->sendNoiseMessage (frame.data(), noiseOff);
    heartbeatTimer->startTimer (heartbeatInterval);
}

void BackgroundComponent::sendReverbDepth (int value)
{
    heartbeatTimer->stopTimer();
    logSend ({ "====Reverb Pre-processing data sent to HID: ", "====Reverb front: ", "====Reverb back: " }, value);
    zarvo::ReportBuffer frame;
    zarvo::buildSetFrame (frame, zarvo::group::reverb, zarvo::param::reverbDepth, value);
    hid->sendReverbMessage (frame.data(), reverbOff);
    heartbeatTimer->startTimer (heartbeatInterval);
}

void BackgroundComponent::sendReverbTime (int value)
{
    heartbeatTimer->stopTimer();
    zarvo::ReportBuffer frame;
    zarvo::buildSetFrame (frame, zarvo::group::reverb, zarvo::param::reverbTime, value);
    hid->sendReverbMessage (frame.data(), reverbOff);
    heartbeatTimer->startTimer (heartbeatInterval);
}
