#include "VirtualMicrophone.h"

namespace zarvo::test
{
VirtualMicrophone::VirtualMicrophone() : VirtualMicrophone (Identity{}) {}

VirtualMicrophone::VirtualMicrophone (Identity identityToShow) : identity (std::move (identityToShow)) {}

bool VirtualMicrophone::start (std::string& whyNot)
{
    server = std::make_unique<FuseHidrawServer> (device);
    if (server->start (whyNot))
        return true;
    server.reset();
    return false;
}

std::string VirtualMicrophone::path() const
{
    return server != nullptr ? server->path() : std::string{};
}

hid::linux_layer::EnumerationEntry VirtualMicrophone::enumerationEntry() const
{
    hid::linux_layer::EnumerationEntry entry;
    entry.path = path();
    entry.vendorId = vendorId;
    entry.productId = productId;
    entry.serialNumber = identity.serialNumber;
    entry.releaseNumber = identity.releaseNumber;
    entry.manufacturer = identity.manufacturer;
    entry.product = identity.product;
    entry.usagePage = identity.usagePage;
    entry.usage = identity.usage;
    entry.interfaceNumber = identity.interfaceNumber;
    return entry;
}

hid::linux_layer::EntrySource VirtualMicrophone::enumerationSource() const
{
    return [this]() -> std::vector<hid::linux_layer::EnumerationEntry>
    {
        if (!device.present())
            return {};
        return { enumerationEntry() };
    };
}
} // namespace zarvo::test
