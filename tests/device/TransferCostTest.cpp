// What one report transfer costs beyond the request itself, against the virtual KT-Q7TR: a
// successful send or fetch allocates nothing (the heartbeat makes up to a thousand of each per
// second), and the send leaves the caller's frame as it was even when the device file writes into
// the request's buffer. This executable replaces the global allocation functions to count them.
#include "CommandFrame.h"
#include "FuseHidrawServer.h"
#include "HidTransport.h"
#include "MicrophoneModel.h"
#include "TestRun.h"
#include "VirtualMicrophone.h"

#include <gtest/gtest.h>

#include <fcntl.h>
#include <linux/hidraw.h>
#include <sys/ioctl.h>
#include <unistd.h>

#include <array>
#include <cerrno>
#include <cstdlib>
#include <functional>
#include <memory>
#include <new>
#include <string>
#include <vector>

using namespace zarvo;
using zarvo::test::FuseHidrawServer;
using zarvo::test::MicrophoneModel;
using Bytes = MicrophoneModel::Bytes;

// ---- The counting allocator. It counts on the thread that asked for it only, so the FUSE server
// answering on its own thread does not count against the transfer it answers.
namespace
{
thread_local bool counting = false;
thread_local std::size_t allocations = 0;
thread_local std::size_t releases = 0;

void* allocate (std::size_t size)
{
    if (counting)
        ++allocations;
    if (void* memory = std::malloc (size == 0 ? 1 : size))
        return memory;
    throw std::bad_alloc();
}

void* allocateAligned (std::size_t size, std::align_val_t alignment)
{
    if (counting)
        ++allocations;
    const auto align = static_cast<std::size_t> (alignment);
    const std::size_t rounded = size == 0 ? align : (size + align - 1) / align * align; // as aligned_alloc wants
    if (void* memory = std::aligned_alloc (align, rounded))
        return memory;
    throw std::bad_alloc();
}

void release (void* memory) noexcept
{
    if (memory == nullptr)
        return;
    if (counting)
        ++releases;
    std::free (memory);
}

struct Counts
{
    std::size_t allocations;
    std::size_t releases;
};

// Runs the work with counting on. The work must not itself allocate, nor assert: a failed
// assertion allocates its message.
template <typename Work> Counts countAllocations (Work&& work)
{
    allocations = 0;
    releases = 0;
    counting = true;
    work();
    counting = false;
    return { allocations, releases };
}
} // namespace

void* operator new (std::size_t size)
{
    return allocate (size);
}
void* operator new[] (std::size_t size)
{
    return allocate (size);
}
void* operator new (std::size_t size, const std::nothrow_t&) noexcept
{
    try
    {
        return allocate (size);
    }
    catch (const std::bad_alloc&)
    {
        return nullptr;
    }
}
void* operator new[] (std::size_t size, const std::nothrow_t& nothrow) noexcept
{
    return operator new (size, nothrow);
}
void* operator new (std::size_t size, std::align_val_t alignment)
{
    return allocateAligned (size, alignment);
}
void* operator new[] (std::size_t size, std::align_val_t alignment)
{
    return allocateAligned (size, alignment);
}
void operator delete (void* memory) noexcept
{
    release (memory);
}
void operator delete[] (void* memory) noexcept
{
    release (memory);
}
void operator delete (void* memory, std::size_t) noexcept
{
    release (memory);
}
void operator delete[] (void* memory, std::size_t) noexcept
{
    release (memory);
}
void operator delete (void* memory, std::align_val_t) noexcept
{
    release (memory);
}
void operator delete[] (void* memory, std::align_val_t) noexcept
{
    release (memory);
}
void operator delete (void* memory, std::size_t, std::align_val_t) noexcept
{
    release (memory);
}
void operator delete[] (void* memory, std::size_t, std::align_val_t) noexcept
{
    release (memory);
}

namespace
{
struct DeviceCloser
{
    void operator() (hid::hid_device* device) const { hid::hid_close (device); }
};
using DevicePtr = std::unique_ptr<hid::hid_device, DeviceCloser>;

Bytes sent (const ReportBuffer& frame, std::size_t length = reportLength)
{
    return Bytes (frame.begin(), frame.begin() + static_cast<long> (length));
}

ReportBuffer setFrame (unsigned char groupId, unsigned char parameter, int value)
{
    ReportBuffer frame;
    buildSetFrame (frame, groupId, parameter, value);
    return frame;
}

ReportBuffer queryFrame (unsigned char groupId)
{
    ReportBuffer frame;
    buildQueryFrame (frame, groupId);
    return frame;
}

// The virtual KT-Q7TR served directly, so that a test can reach the server's switches, and the
// device opened by its path.
class TransferCost : public ::testing::Test
{
protected:
    void SetUp() override
    {
        std::string whyNot;
        ZARVO_REQUIRE (server.start (whyNot) ? std::string() : "no virtual microphone: " + whyNot);
        device.reset (hid::hid_open_path (server.path().c_str()));
        ASSERT_NE (device, nullptr) << "cannot open " << server.path();
    }

    MicrophoneModel model;
    FuseHidrawServer server{ model };
    DevicePtr device; // closed before the server stops
};
} // namespace

TEST_F (TransferCost, ASuccessfulSendOrFetchAllocatesNothing)
{
    // The counter sees what the transport allocates: a failed transfer records an error text.
    model.failTransfer (1, EIO);
    const auto heartbeat = queryFrame (group::heartbeat);
    int failedResult = 0;
    const auto failure = countAllocations (
        [&] { failedResult = hid::hid_send_feature_report (device.get(), heartbeat.data(), reportLength); });
    ASSERT_EQ (failedResult, -1);
    ASSERT_GT (failure.allocations, 0u) << "the counting allocator does not see the transport";

    // Warm-up: whatever a first transfer on a fresh device may set up once.
    ReportBuffer reply{};
    ASSERT_EQ (hid::hid_send_feature_report (device.get(), heartbeat.data(), reportLength), reportLength + 1);
    ASSERT_EQ (hid::hid_get_feature_report (device.get(), reply.data(), reportLength), reportLength + 1);
    model.clearRecord();

    const std::array<ReportBuffer, 4> frames = { queryFrame (group::heartbeat),
                                                 setFrame (group::microphone, param::gain, 4096),
                                                 queryFrame (group::microphone), queryFrame (group::inputLevel) };
    std::array<int, frames.size()> sendResults{};
    std::array<int, frames.size()> fetchResults{};
    std::array<ReportBuffer, frames.size()> replies{};
    const auto counts = countAllocations (
        [&]
        {
            for (std::size_t i = 0; i < frames.size(); ++i)
            {
                sendResults[i] = hid::hid_send_feature_report (device.get(), frames[i].data(), reportLength);
                fetchResults[i] = hid::hid_get_feature_report (device.get(), replies[i].data(), reportLength);
            }
        });

    EXPECT_EQ (counts.allocations, 0u);
    EXPECT_EQ (counts.releases, 0u);
    for (std::size_t i = 0; i < frames.size(); ++i)
    {
        EXPECT_EQ (sendResults[i], reportLength + 1) << i;
        EXPECT_EQ (fetchResults[i], reportLength + 1) << i;
    }
    // The transfers really went through: the frames arrived and the replies came back.
    std::vector<Bytes> expected;
    for (const auto& frame : frames)
        expected.push_back (sent (frame));
    EXPECT_EQ (model.receivedReports(), expected);
    EXPECT_EQ (reply::rawGain (replies[2]), 4096u);
}

TEST_F (TransferCost, TheCallersFrameStaysAsItWasWhenTheDeviceFileWritesIntoTheBuffer)
{
    server.scribbleOverSentReports (true);

    // The device file does write into the request's buffer.
    const auto probe = queryFrame (group::microphone);
    {
        auto bare = probe;
        const int fd = ::open (server.path().c_str(), O_RDWR | O_CLOEXEC);
        ASSERT_GE (fd, 0);
        EXPECT_EQ (::ioctl (fd, HIDIOCSOUTPUT (reportLength), bare.data()), reportLength);
        ::close (fd);
        EXPECT_EQ (bare[1], static_cast<unsigned char> (~probe[1])) << "the server does not scribble";
    }
    model.clearRecord();

    // One after another, so that each send follows one whose buffer was written over; the last is
    // shorter than the ones before it.
    struct Case
    {
        const char* name;
        ReportBuffer frame;
        std::size_t length;
    };
    const Case cases[] = {
        { "heartbeat query", queryFrame (group::heartbeat), reportLength },
        { "gain 2662", setFrame (group::microphone, param::gain, 2662), reportLength },
        { "mute on, first 7 bytes", setFrame (group::microphone, param::mute, 1), 7 },
    };
    std::vector<Bytes> expected;
    for (const auto& c : cases)
    {
        auto frame = c.frame;
        EXPECT_EQ (hid::hid_send_feature_report (device.get(), frame.data(), c.length), static_cast<int> (c.length) + 1)
            << c.name;
        EXPECT_EQ (frame, c.frame) << c.name << ": the caller's frame was written over";
        expected.push_back (sent (c.frame, c.length));
    }
    EXPECT_EQ (model.receivedReports(), expected);
}

// The send copies the frame into the device record: the longest report the request code can carry
// arrives whole, and a longer one is refused rather than cut.
TEST_F (TransferCost, TheLongestRequestArrivesWholeAndALongerOneIsRefused)
{
    constexpr std::size_t longest = (1u << 14) - 1; // the request code's 14-bit size field
    Bytes frame (longest + 1);
    for (std::size_t i = 0; i < frame.size(); ++i)
        frame[i] = static_cast<unsigned char> (i * 7 + 1);
    frame[0] = 0;

    EXPECT_EQ (hid::hid_send_feature_report (device.get(), frame.data(), longest), static_cast<int> (longest) + 1);
    EXPECT_EQ (model.receivedReports(), (std::vector<Bytes>{ Bytes (frame.begin(), frame.end() - 1) }));
    EXPECT_EQ (hid::hid_error (device.get()), nullptr);

    model.clearRecord();
    EXPECT_EQ (hid::hid_send_feature_report (device.get(), frame.data(), longest + 1), -1);
    ASSERT_NE (hid::hid_error (device.get()), nullptr);
    EXPECT_EQ (std::wstring (hid::hid_error (device.get())), L"Invalid argument");
    EXPECT_TRUE (model.transfers().empty());
}
