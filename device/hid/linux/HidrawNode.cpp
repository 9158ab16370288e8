#include "HidrawNode.h"

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <linux/hidraw.h>
#include <sys/ioctl.h>
#include <unistd.h>

namespace zarvo::hid::linux_layer
{
namespace
{
static_assert (maxReportLength == _IOC_SIZEMASK, "the request code's size field bounds a report");

template <typename Request> int retryOnSignal (Request request)
{
    int result;
    do
        result = request();
    while (result < 0 && errno == EINTR);
    return result;
}
} // namespace

int openNode (const char* path)
{
    return retryOnSignal ([path] { return ::open (path, O_RDWR | O_CLOEXEC); });
}

void closeNode (int fd)
{
    if (fd >= 0)
        ::close (fd);
}

bool readReportDescriptor (int fd, std::vector<unsigned char>& descriptor)
{
    int size = 0;
    if (retryOnSignal ([&] { return ::ioctl (fd, HIDIOCGRDESCSIZE, &size); }) < 0)
        return false;
    if (size <= 0 || size > HID_MAX_DESCRIPTOR_SIZE)
    {
        errno = EINVAL;
        return false;
    }

    hidraw_report_descriptor raw{};
    raw.size = static_cast<__u32> (size);
    if (retryOnSignal ([&] { return ::ioctl (fd, HIDIOCGRDESC, &raw); }) < 0)
        return false;

    descriptor.assign (raw.value, raw.value + size);
    return true;
}

int sendOutputReport (int fd, const unsigned char* data, std::size_t length, OutputReportCopy& copy)
{
    if (length > copy.size())
    {
        errno = EINVAL;
        return -1;
    }
    // Copied before every attempt, so that a retry after a signal sends the caller's report again
    // whatever the driver did with the copy.
    return retryOnSignal (
        [&]
        {
            if (length > 0)
                std::memcpy (copy.data(), data, length);
            return ::ioctl (fd, HIDIOCSOUTPUT (length), copy.data());
        });
}

int getInputReport (int fd, unsigned char* data, std::size_t length)
{
    if (length > maxReportLength)
    {
        errno = EINVAL;
        return -1;
    }
    return retryOnSignal ([&] { return ::ioctl (fd, HIDIOCGINPUT (length), data); });
}

std::wstring errorText (int errorNumber)
{
    char buffer[256];
    const char* message = ::strerror_r (errorNumber, buffer, sizeof buffer);

    std::wstring text (std::strlen (message), L'\0');
    const auto converted = std::mbstowcs (text.data(), message, text.size());
    if (converted == static_cast<std::size_t> (-1))
        text.assign (message, message + std::strlen (message)); // not valid in this locale: bytes as they are
    else
        text.resize (converted);
    return text;
}
} // namespace zarvo::hid::linux_layer
