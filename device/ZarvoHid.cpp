#include "ZarvoHid.h"

namespace zarvo
{
namespace
{
constexpr unsigned short q7trVendorId = 0xFF01;
constexpr unsigned short q7trProductId = 0x0009;
} // namespace

ZarvoHid::ZarvoHid() = default;

ZarvoHid::~ZarvoHid() = default;

void ZarvoHid::emitSignals()
{
    juce::Logger::outputDebugString ("start_test!!!!!!!!!");
    for (const auto& slot : deviceChangedSignal)
        (*slot)();
}

void ZarvoHid::HidDeviceChangeCallback (unsigned short vendorId, unsigned short productId, const char*, int removed,
                                        void* userData)
{
    if (vendorId != q7trVendorId || productId != q7trProductId)
        return;

    auto& self = *static_cast<ZarvoHid*> (userData);
    self.lastDeviceChange = removed;
    self.emitSignals();

    juce::Logger::outputDebugString (juce::String (vendorId) + "----" + juce::String (productId) + "----" +
                                     juce::String (removed));
    // Read again: a handler may have changed it.
    juce::Logger::outputDebugString ("HidDeviceChangeCallback:" + juce::String (self.lastDeviceChange));
}
} // namespace zarvo
