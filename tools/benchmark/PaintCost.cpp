// Figure 3: what one paint of the control panel costs beyond its deliberate pauses. The window, its
// main component and the panel are the application's own classes, built here beside a virtual
// KT-Q7TR and painted into an image, which is what JUCE's window does before it puts the image on the
// screen. The pauses (1 ms sleeps of the window, the main component, and of the information panel
// and the mask while they show) are timed as they happen and taken off.
#include "BackgroundComponent.h"
#include "Benchmark.h"
#include "HidTransport.h"
#include "MainWindow.h"
#include "PauseTally.h"
#include "Quiet.h"
#include "VirtualMicrophone.h"
#include "XErrors.h"
#include "ZarvoHid.h"
#include "linux/EnumerationSource.h"

#include <juce_gui_basics/juce_gui_basics.h>

#include <functional>
#include <memory>

namespace zarvo::benchmark
{
namespace
{
BackgroundComponent* panelIn (juce::Component& content)
{
    for (auto* child : content.getChildren())
        if (auto* panel = dynamic_cast<BackgroundComponent*> (child))
            return panel;
    return nullptr;
}

struct PaintSample
{
    double cost; // ms, pauses taken off
    Pauses pauses;
};

PaintSample paintOnce (juce::Image& image, const std::function<void (juce::Graphics&)>& paint)
{
    juce::Graphics g (image);
    watchPauses();
    const auto start = Clock::now();
    paint (g);
    const auto end = Clock::now();
    const auto pauses = takePauses();
    return { millisecondsBetween (start, end) - std::chrono::duration<double, std::milli> (pauses.slept).count(),
             pauses };
}

struct PaintKind
{
    const char* measure;
    juce::Image* image;
    std::function<void (juce::Graphics&)> paint;
    std::vector<double> costs{};
    std::vector<double> slept{};
    int pauses = -1; // per paint; -2 once two paints differed
};

std::string pauseNote (const PaintKind& kind)
{
    if (kind.pauses == 0)
        return "no pauses in it";
    const auto medianSlept = median (kind.slept);
    char text[160];
    std::snprintf (text, sizeof text, "%s pauses of 1 ms per paint, %.2f ms slept (median), taken off",
                   kind.pauses < 0 ? "varying" : std::to_string (kind.pauses).c_str(), medianSlept);
    return text;
}
} // namespace

void measurePaint (const Options& options, Table& table)
{
    test::VirtualMicrophone microphone;
    std::string whyNot;
    if (!microphone.start (whyNot))
    {
        table.fail ("3", "panel paint", "no virtual microphone: " + whyNot);
        return;
    }
    hid::linux_layer::setEnumerationSource (microphone.enumerationSource());
    test::ignoreXErrors();

    std::unique_ptr<ZarvoQ7TRApplication::MainWindow> window;
    {
        Quiet quiet; // the opening's and the constructor's lines
        window = std::make_unique<ZarvoQ7TRApplication::MainWindow> ("ZarvoQ7TR");
    }
    auto* content = window->getContentComponent();
    auto* panel = content != nullptr ? panelIn (*content) : nullptr;
    if (panel == nullptr || panel->hid == nullptr || panel->hid->hidDevice == nullptr)
    {
        table.fail ("3", "panel paint", "the window's panel did not open the virtual microphone");
        return;
    }
    auto* device = panel->hid;

    juce::Image frame (juce::Image::ARGB, window->getWidth(), window->getHeight(), true);
    juce::Image panelArea (juce::Image::ARGB, content->getWidth(), content->getHeight(), true);
    std::vector<PaintKind> kinds = {
        { "the panel's own paint (BackgroundComponent::paint)", &panelArea,
          [panel] (juce::Graphics& g) { panel->paint (g); } },
        { "the panel with its children, as in the window", &panelArea,
          [panel] (juce::Graphics& g) { panel->paintEntireComponent (g, true); } },
        { "one frame of the whole window", &frame,
          [&window] (juce::Graphics& g) { window->paintEntireComponent (g, true); } },
    };

    {
        // Every paint writes its timing lines, into nothing here.
        Quiet quiet;
        // The first frame meets every cache cold.
        const auto first = paintOnce (frame, kinds[2].paint);
        for (int warm = 0; warm < 10; ++warm)
            for (auto& kind : kinds)
                paintOnce (*kind.image, kind.paint);
        for (int n = 0; n < options.paints; ++n)
            for (auto& kind : kinds)
            {
                const auto sample = paintOnce (*kind.image, kind.paint);
                kind.costs.push_back (sample.cost);
                kind.slept.push_back (std::chrono::duration<double, std::milli> (sample.pauses.slept).count());
                kind.pauses = kind.pauses == -1 || kind.pauses == sample.pauses.count ? sample.pauses.count : -2;
            }
        quiet.end();
        table.add ("3", "first frame of the window in this process, pauses off", "ms", { first.cost }, "",
                   std::to_string (first.pauses.count) + " pauses taken off");
    }
    for (auto& kind : kinds)
        table.add ("3", kind.measure + std::string (", pauses off"), "ms", kind.costs,
                   kind.image == &panelArea ? "2 ms" : "", pauseNote (kind));

    {
        Quiet quiet;
        window = nullptr;
    }
    // The panel's device object outlives it, as in the application; its handle is closed here so
    // that the device file can be unmounted.
    hid::hid_close (device->hidDevice);
    device->hidDevice = nullptr;
    hid::linux_layer::useSystemEnumeration();
}
} // namespace zarvo::benchmark
