#include "WindowIcon.h"

#include "BinaryData.h"

#include <vector>

// Xlib comes last: its macros (None, Bool, Status...) would collide with JUCE's names.
#include <X11/Xatom.h>
#include <X11/Xlib.h>

namespace zarvo
{
namespace
{
// _NET_WM_ICON: for each image its width, its height, then its pixels as ARGB, row by row; 32-bit
// values that Xlib takes as longs.
std::vector<unsigned long> iconProperty (const juce::Array<juce::Image>& icons)
{
    std::vector<unsigned long> data;
    for (const auto& icon : icons)
    {
        data.push_back ((unsigned long)icon.getWidth());
        data.push_back ((unsigned long)icon.getHeight());
        for (int y = 0; y < icon.getHeight(); ++y)
            for (int x = 0; x < icon.getWidth(); ++x)
                data.push_back ((unsigned long)icon.getPixelAt (x, y).getARGB());
    }
    return data;
}

void setIconProperty (unsigned long windowId, const std::vector<unsigned long>& data)
{
    // A connection of our own: JUCE keeps its display to itself. The property belongs to the window,
    // whichever connection sets it.
    Display* display = XOpenDisplay (nullptr);
    if (display == nullptr)
        return;

    const Atom netWmIcon = XInternAtom (display, "_NET_WM_ICON", False);
    XChangeProperty (display, (Window)windowId, netWmIcon, XA_CARDINAL, 32, PropModeReplace,
                     reinterpret_cast<const unsigned char*> (data.data()), (int)data.size());
    XSync (display, False);
    XCloseDisplay (display);
}
} // namespace

juce::Array<juce::Image> getApplicationIcons()
{
    juce::Array<juce::Image> icons;
    for (auto [data, size] : { std::pair<const char*, int>{ BinaryData::icon16_png, BinaryData::icon16_pngSize },
                               { BinaryData::icon24_png, BinaryData::icon24_pngSize },
                               { BinaryData::icon32_png, BinaryData::icon32_pngSize },
                               { BinaryData::icon48_png, BinaryData::icon48_pngSize },
                               { BinaryData::icon64_png, BinaryData::icon64_pngSize },
                               { BinaryData::icon256_png, BinaryData::icon256_pngSize } })
    {
        const auto image = juce::ImageCache::getFromMemory (data, size);
        if (image.isValid())
            icons.add (image);
    }
    return icons;
}

void setWindowIcon (juce::Component& window)
{
    auto* peer = window.getPeer();
    const auto icons = getApplicationIcons();
    if (peer == nullptr || icons.isEmpty())
        return;

    // JUCE sets the largest image as the window manager's icon pixmap and as _NET_WM_ICON; the
    // property is then replaced by the full set, so that each desktop can take the size it needs.
    peer->setIcon (icons.getLast());
    setIconProperty ((unsigned long)(juce::pointer_sized_uint)peer->getNativeHandle(), iconProperty (icons));
}
} // namespace zarvo
