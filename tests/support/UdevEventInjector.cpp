#include "UdevEventInjector.h"

#include "UserNamespace.h"

#include <arpa/inet.h>
#include <linux/netlink.h>
#include <sched.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cerrno>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>

namespace zarvo::test
{
namespace
{
// udevd's multicast group on NETLINK_KOBJECT_UEVENT (the kernel's own is 1).
constexpr unsigned int udevMulticastGroup = 2;
constexpr unsigned int udevMonitorMagic = 0xfeedcafe;

// The header udevd puts before the properties. libudev's monitor filters on the subsystem hash
// in the kernel (socket filter) and checks prefix and magic.
struct UdevMessageHeader
{
    char prefix[8];
    std::uint32_t magic;      // big-endian
    std::uint32_t headerSize; // host order, like the two below
    std::uint32_t propertiesOffset;
    std::uint32_t propertiesLength;
    std::uint32_t filterSubsystemHash; // big-endian
    std::uint32_t filterDevtypeHash;
    std::uint32_t filterTagBloomHigh;
    std::uint32_t filterTagBloomLow;
};
static_assert (sizeof (UdevMessageHeader) == 40);

// MurmurHash2 (Austin Appleby), the hash libudev's filters use, with seed 0.
std::uint32_t murmurHash2 (const std::string& text)
{
    constexpr std::uint32_t m = 0x5bd1e995;
    constexpr int r = 24;
    auto length = text.size();
    auto h = static_cast<std::uint32_t> (length);
    const auto* data = reinterpret_cast<const unsigned char*> (text.data());
    while (length >= 4)
    {
        std::uint32_t k;
        std::memcpy (&k, data, 4);
        k *= m;
        k ^= k >> r;
        k *= m;
        h *= m;
        h ^= k;
        data += 4;
        length -= 4;
    }
    switch (length)
    {
    case 3:
        h ^= static_cast<std::uint32_t> (data[2]) << 16;
        [[fallthrough]];
    case 2:
        h ^= static_cast<std::uint32_t> (data[1]) << 8;
        [[fallthrough]];
    case 1:
        h ^= data[0];
        h *= m;
        break;
    default:
        break;
    }
    h ^= h >> 13;
    h *= m;
    h ^= h >> 15;
    return h;
}

std::string errnoText (const char* what)
{
    return std::string (what) + ": " + std::strerror (errno);
}

std::string enterNamespaceOnce()
{
    if (geteuid() == 0)
        return unshare (CLONE_NEWNET) == 0 ? std::string() : errnoText ("unshare (CLONE_NEWNET)");
    return enterUserNamespace (CLONE_NEWNET);
}
} // namespace

std::string enterPrivateNetworkNamespace()
{
    static const std::string failure = enterNamespaceOnce();
    return failure;
}

UdevEventInjector::UdevEventInjector()
{
    socketFd = socket (AF_NETLINK, SOCK_RAW | SOCK_CLOEXEC, NETLINK_KOBJECT_UEVENT);
    if (socketFd < 0)
    {
        lastError = errnoText ("socket (NETLINK_KOBJECT_UEVENT)");
        return;
    }
    // A port id of our own (not 0): libudev takes messages from port 0 for the kernel's.
    sockaddr_nl address{};
    address.nl_family = AF_NETLINK;
    if (bind (socketFd, reinterpret_cast<sockaddr*> (&address), sizeof (address)) != 0)
    {
        lastError = errnoText ("bind");
        close (socketFd);
        socketFd = -1;
    }
}

UdevEventInjector::~UdevEventInjector()
{
    if (socketFd >= 0)
        close (socketFd);
}

bool UdevEventInjector::send (const UdevEvent& event)
{
    if (socketFd < 0)
        return false;

    std::string properties;
    const auto add = [&properties] (const std::string& property) { properties.append (property).push_back ('\0'); };
    add ("ACTION=" + event.action);
    add ("DEVPATH=" + event.devpath);
    add ("SUBSYSTEM=" + event.subsystem);
    if (!event.devname.empty())
        add ("DEVNAME=" + event.devname);
    add ("SEQNUM=" + std::to_string (nextSeqnum++));

    UdevMessageHeader header{};
    std::memcpy (header.prefix, "libudev", 8);
    header.magic = htonl (udevMonitorMagic);
    header.headerSize = sizeof (header);
    header.propertiesOffset = sizeof (header);
    header.propertiesLength = static_cast<std::uint32_t> (properties.size());
    header.filterSubsystemHash = htonl (murmurHash2 (event.subsystem));

    std::string message (reinterpret_cast<const char*> (&header), sizeof (header));
    message += properties;

    sockaddr_nl destination{};
    destination.nl_family = AF_NETLINK;
    destination.nl_groups = udevMulticastGroup;
    const auto sent = sendto (socketFd, message.data(), message.size(), 0, reinterpret_cast<sockaddr*> (&destination),
                              sizeof (destination));
    if (sent != static_cast<ssize_t> (message.size()))
    {
        lastError = errnoText ("sendto");
        return false;
    }
    return true;
}

UdevEvent UdevEventInjector::hidrawEvent (const std::string& action, unsigned short vendorId, unsigned short productId,
                                          int instance, int node)
{
    char name[32];
    std::snprintf (name, sizeof (name), "0003:%04X:%04X.%04X", vendorId, productId, instance & 0xFFFF);
    const auto hidraw = "hidraw" + std::to_string (node);
    return { action, "/devices/pci0000:00/0000:00:14.0/usb1/1-2/1-2:1.0/" + std::string (name) + "/hidraw/" + hidraw,
             "hidraw", "/dev/" + hidraw };
}
} // namespace zarvo::test
