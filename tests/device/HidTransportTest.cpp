// The HID transport against the virtual KT-Q7TR: real open, real HIDIOCSOUTPUT / HIDIOCGINPUT
// requests through FUSE, the device model deciding every reply and failure.
#include "HidTransport.h"
#include "CommandFrame.h"
#include "OutputCapture.h"
#include "VirtualMicrophoneTest.h"

#include <gtest/gtest.h>

#include <cerrno>
#include <chrono>
#include <functional>
#include <optional>
#include <string>
#include <vector>

using namespace zarvo;
// hidapi's own hid_device is a global name: ours is reached by its namespace.
using Device = zarvo::hid::hid_device;
using zarvo::hid::linux_layer::EnumerationEntry;
using zarvo::hid::linux_layer::ScopedEnumerationEntries;
using zarvo::test::MicrophoneModel;
using zarvo::test::StdoutCapture;
using zarvo::test::VirtualMicrophone;

namespace
{
std::wstring errorOf (Device* device)
{
    const wchar_t* text = hid::hid_error (device);
    return text != nullptr ? std::wstring (text) : std::wstring (L"<none>");
}

std::vector<unsigned char> frameBytes (const ReportBuffer& frame)
{
    return std::vector<unsigned char> (frame.begin(), frame.begin() + reportLength);
}

struct DeviceCloser
{
    void operator() (Device* device) const { hid::hid_close (device); }
};
using DevicePtr = std::unique_ptr<Device, DeviceCloser>;

enum class Kind
{
    send,
    get
};

const char* nameOf (Kind kind)
{
    return kind == Kind::send ? "send" : "get";
}

int transfer (Device* device, Kind kind)
{
    ReportBuffer buffer{};
    if (kind == Kind::send)
    {
        buildQueryFrame (buffer, group::heartbeat);
        return hid::hid_send_feature_report (device, buffer.data(), reportLength);
    }
    return hid::hid_get_feature_report (device, buffer.data(), reportLength);
}
} // namespace

TEST (HidTransportWithoutDevice, NullDeviceFailsBothTransfersWithoutErrorText)
{
    ReportBuffer buffer{};
    buildQueryFrame (buffer, group::heartbeat);
    EXPECT_EQ (hid::hid_send_feature_report (nullptr, buffer.data(), reportLength), -1);
    EXPECT_EQ (hid::hid_get_feature_report (nullptr, buffer.data(), reportLength), -1);
    EXPECT_EQ (hid::hid_error (nullptr), nullptr);
}

TEST (HidTransportWithoutDevice, OpenByANullPathFailsWithoutTouchingAnything)
{
    EXPECT_EQ (hid::hid_open_path (nullptr), nullptr);
}

class HidTransport : public zarvo::test::VirtualMicrophoneTest
{
protected:
    DevicePtr openMicrophone()
    {
        DevicePtr device (hid::hid_open_path (microphone().path().c_str()));
        EXPECT_NE (device, nullptr) << "cannot open " << microphone().path();
        return device;
    }
};

TEST_F (HidTransport, OpenByPathTakesTheReportLengthsFromTheDescriptor)
{
    auto device = openMicrophone();
    ASSERT_NE (device, nullptr);
    EXPECT_GE (device->fd, 0);
    EXPECT_EQ (device->inputReportLength, 257u);
    EXPECT_EQ (device->outputReportLength, 257u);
    EXPECT_TRUE (device->blocking);
    EXPECT_EQ (hid::hid_error (device.get()), nullptr);

    EXPECT_EQ (hid::hid_set_nonblocking (device.get(), 1), 0);
    EXPECT_FALSE (device->blocking);
}

TEST_F (HidTransport, OpenByPathFailsWithoutDeviceOrUsableDescriptor)
{
    struct Case
    {
        std::string name;
        std::function<void (MicrophoneModel&)> prepare;
        std::string path; // empty: the microphone's
    };
    const std::vector<Case> cases = {
        { "no such path", [] (MicrophoneModel&) {}, "/nonexistent/zarvo-hidraw" },
        { "descriptor request fails", [] (MicrophoneModel& m) { m.failDescriptorRequests (EIO); }, "" },
        { "descriptor truncated",
          [] (MicrophoneModel& m)
          {
              auto bytes = MicrophoneModel::defaultReportDescriptor();
              bytes.resize (16);
              m.setReportDescriptor (bytes);
          },
          "" },
        { "descriptor empty", [] (MicrophoneModel& m) { m.setReportDescriptor ({}); }, "" },
    };
    for (const auto& c : cases)
    {
        model().failDescriptorRequests (0);
        model().setReportDescriptor (MicrophoneModel::defaultReportDescriptor());
        c.prepare (model());
        const auto path = c.path.empty() ? microphone().path() : c.path;
        DevicePtr device (hid::hid_open_path (path.c_str()));
        EXPECT_EQ (device, nullptr) << c.name;
    }

    // A descriptor with report ids: the longest report of each kind, id byte included.
    model().failDescriptorRequests (0);
    model().setReportDescriptor ({ 0x06, 0x00, 0xFF, 0x09, 0x01, 0xA1, 0x01, 0x75, 0x08, 0x85, 0x01, 0x95, 0x40,
                                   0x09, 0x01, 0x81, 0x02, 0x85, 0x02, 0x95, 0x10, 0x09, 0x01, 0x91, 0x02, 0xC0 });
    auto device = openMicrophone();
    ASSERT_NE (device, nullptr);
    EXPECT_EQ (device->inputReportLength, 65u);
    EXPECT_EQ (device->outputReportLength, 17u);
}

TEST_F (HidTransport, EveryFrameArrivesByteForByteAndItsReplyComesBack)
{
    auto device = openMicrophone();
    ASSERT_NE (device, nullptr);
    model().setInputLevel (0x1234);

    struct Case
    {
        std::string name;
        std::function<void (ReportBuffer&)> build;
        std::function<bool (const ReportBuffer&)> replyIsRight; // null: reply not checked
    };
    const std::vector<Case> cases = {
        { "heartbeat", [] (ReportBuffer& b) { buildQueryFrame (b, group::heartbeat); }, nullptr },
        { "start-up command", [] (ReportBuffer& b) { buildSetFrame (b, group::microphone, param::startup, 1); },
          nullptr },
        { "gain 2662", [] (ReportBuffer& b) { buildSetFrame (b, group::microphone, param::gain, 2662); }, nullptr },
        { "microphone query", [] (ReportBuffer& b) { buildQueryFrame (b, group::microphone); },
          [] (const ReportBuffer& r) { return reply::rawGain (r) == 2662 && reply::mute (r) == 0; } },
        { "noise level -9000",
          [] (ReportBuffer& b) { buildSetFrame (b, group::noiseReduction, param::noiseLevel, -9000); }, nullptr },
        { "noise query", [] (ReportBuffer& b) { buildQueryFrame (b, group::noiseReduction); },
          [] (const ReportBuffer& r) { return reply::rawNoiseLevel (r) == -9000; } },
        { "reverb time 100", [] (ReportBuffer& b) { buildSetFrame (b, group::reverb, param::reverbTime, 100); },
          nullptr },
        { "reverb query", [] (ReportBuffer& b) { buildQueryFrame (b, group::reverb); },
          [] (const ReportBuffer& r) { return reply::reverbTime (r) == 100 && reply::rawReverbDepth (r) == 60; } },
        { "input level query", [] (ReportBuffer& b) { buildQueryFrame (b, group::inputLevel); },
          [] (const ReportBuffer& r) { return reply::inputLevel (r) == 0x1234; } },
        { "information query", buildDeviceInfoQuery,
          [] (const ReportBuffer& r) { return reply::deviceInfo (r).text() == "Q7TR V1.2.0"; } },
    };

    for (const auto& c : cases)
    {
        ReportBuffer frame;
        c.build (frame);
        model().clearRecord();

        EXPECT_EQ (hid::hid_send_feature_report (device.get(), frame.data(), reportLength), 258) << c.name;
        const auto received = model().receivedReports();
        ASSERT_EQ (received.size(), 1u) << c.name;
        EXPECT_EQ (received[0], frameBytes (frame)) << c.name;

        ReportBuffer reply;
        reply.fill (0xEE);
        EXPECT_EQ (hid::hid_get_feature_report (device.get(), reply.data(), reportLength), 258) << c.name;
        EXPECT_EQ (reply[257], 0xEE) << c.name << ": the transfer wrote past its length";
        if (c.replyIsRight)
        {
            EXPECT_TRUE (c.replyIsRight (reply)) << c.name;
        }
    }
    EXPECT_EQ (hid::hid_error (device.get()), nullptr);
}

TEST_F (HidTransport, TransferCompletingWithZeroBytesReturnsOne)
{
    auto device = openMicrophone();
    ASSERT_NE (device, nullptr);
    for (const auto kind : { Kind::send, Kind::get })
    {
        model().completeEmpty();
        EXPECT_EQ (transfer (device.get(), kind), 1) << nameOf (kind);
        EXPECT_EQ (transfer (device.get(), kind), 258) << nameOf (kind);
    }
    EXPECT_EQ (hid::hid_error (device.get()), nullptr);
}

TEST_F (HidTransport, PlatformFailureLeavesThePlatformsMessageAsErrorText)
{
    struct Case
    {
        Kind kind;
        int errorNumber;
        std::wstring message;
    };
    const Case cases[] = {
        { Kind::send, EIO, L"Input/output error" },
        { Kind::get, EIO, L"Input/output error" },
        { Kind::send, EPIPE, L"Broken pipe" },
        { Kind::get, ETIMEDOUT, L"Connection timed out" },
    };
    for (const auto& c : cases)
    {
        auto device = openMicrophone();
        ASSERT_NE (device, nullptr);
        model().failTransfer (1, c.errorNumber);
        EXPECT_EQ (transfer (device.get(), c.kind), -1) << nameOf (c.kind);
        EXPECT_EQ (errorOf (device.get()), c.message) << nameOf (c.kind);

        // The next transfer goes through; the text of the last error stays until the next one.
        EXPECT_EQ (transfer (device.get(), c.kind), 258) << nameOf (c.kind);
        EXPECT_EQ (errorOf (device.get()), c.message) << nameOf (c.kind);
    }
}

TEST_F (HidTransport, OnlyTheNthTransferFails)
{
    auto device = openMicrophone();
    ASSERT_NE (device, nullptr);
    model().failTransfer (3);
    EXPECT_EQ (transfer (device.get(), Kind::send), 258);
    EXPECT_EQ (transfer (device.get(), Kind::get), 258);
    EXPECT_EQ (hid::hid_error (device.get()), nullptr);
    EXPECT_EQ (transfer (device.get(), Kind::send), -1);
    EXPECT_EQ (errorOf (device.get()), L"Input/output error");
    EXPECT_EQ (transfer (device.get(), Kind::get), 258);
    EXPECT_EQ (model().receivedReports().size(), 1u);
}

TEST_F (HidTransport, SlowAnswerIsWaitedFor)
{
    auto device = openMicrophone();
    ASSERT_NE (device, nullptr);
    model().setAnswerDelay (std::chrono::milliseconds (300));

    ReportBuffer frame;
    buildQueryFrame (frame, group::microphone);
    EXPECT_EQ (hid::hid_send_feature_report (device.get(), frame.data(), reportLength), 258);
    ReportBuffer reply{};
    EXPECT_EQ (hid::hid_get_feature_report (device.get(), reply.data(), reportLength), 258);
    EXPECT_EQ (reply::rawGain (reply), 2662u);
}

TEST_F (HidTransport, RemovedDeviceFailsEveryLaterTransferEvenAfterItReturns)
{
    auto before = openMicrophone();
    ASSERT_NE (before, nullptr);
    EXPECT_EQ (transfer (before.get(), Kind::send), 258);

    microphone().vanish();
    for (const auto kind : { Kind::send, Kind::get, Kind::send })
    {
        EXPECT_EQ (transfer (before.get(), kind), -1) << nameOf (kind);
        EXPECT_EQ (errorOf (before.get()), L"No such device");
    }
    EXPECT_EQ (DevicePtr (hid::hid_open_path (microphone().path().c_str())), nullptr);

    microphone().comeBack();
    EXPECT_EQ (transfer (before.get(), Kind::send), -1);
    EXPECT_EQ (transfer (before.get(), Kind::get), -1);

    auto after = openMicrophone();
    ASSERT_NE (after, nullptr);
    model().clearRecord();
    ReportBuffer frame;
    buildSetFrame (frame, group::microphone, param::mute, 1);
    EXPECT_EQ (hid::hid_send_feature_report (after.get(), frame.data(), reportLength), 258);
    ASSERT_EQ (model().receivedReports().size(), 1u);
    EXPECT_EQ (model().receivedReports()[0], frameBytes (frame));
}

TEST_F (HidTransport, OpenWalksTheEnumerationForVendorProductInterfaceAndSerial)
{
    const std::string mic = microphone().path();
    const std::string gone = "/nonexistent/zarvo-gone-hidraw";

    auto entry = [] (std::optional<std::string> path, std::optional<std::wstring> serial, int interfaceNumber,
                     unsigned short productId = VirtualMicrophone::productId)
    {
        EnumerationEntry e;
        e.path = std::move (path);
        e.vendorId = VirtualMicrophone::vendorId;
        e.productId = productId;
        e.serialNumber = std::move (serial);
        e.interfaceNumber = interfaceNumber;
        return e;
    };

    struct Case
    {
        std::string name;
        std::vector<EnumerationEntry> entries;
        std::optional<std::wstring> serial; // absent: a null serial number
        int interfaceNumber;
        bool opens;         // opens the microphone
        std::string output; // on standard output
    };
    const std::vector<Case> cases = {
        { "a different serial is skipped, a later match taken",
          { entry (gone, L"OTHER", 0), entry (mic, L"Q7TR1", 0) },
          L"Q7TR1",
          0,
          true,
          "Path: " + mic + "\n" },
        { "null serial takes the first of the right interface",
          { entry (gone, L"A", 1), entry (gone, L"A", 0, 0x0010), entry (mic, L"B", 0), entry (gone, L"C", 0) },
          std::nullopt,
          0,
          true,
          "Path: " + mic + "\n" },
        { "empty serial matches an entry without serial",
          { entry (gone, L"X", 0), entry (mic, std::nullopt, 0) },
          L"",
          0,
          true,
          "Path: " + mic + "\n" },
        { "empty serial matches an empty serial",
          { entry (gone, L"X", 0), entry (mic, L"", 0) },
          L"",
          0,
          true,
          "Path: " + mic + "\n" },
        { "empty serial does not match a serial", { entry (mic, L"X", 0) }, L"", 0, false, "" },
        { "a serial does not match an entry without one", { entry (mic, std::nullopt, 0) }, L"X", 0, false, "" },
        { "interface -1 takes only an entry without interface part",
          { entry (gone, std::nullopt, 0), entry (mic, std::nullopt, -1) },
          std::nullopt,
          -1,
          true,
          "Path: " + mic + "\n" },
        { "interface 0 does not take an entry without interface part",
          { entry (mic, std::nullopt, -1) },
          std::nullopt,
          0,
          false,
          "" },
        { "no match prints nothing", { entry (mic, L"A", 0) }, L"B", 0, false, "" },
        { "empty enumeration", {}, std::nullopt, 0, false, "" },
        { "a first match without path gives nothing",
          { entry (std::nullopt, std::nullopt, 0), entry (mic, L"", 0) },
          std::nullopt,
          0,
          false,
          "" },
        { "a match that cannot be opened",
          { entry (gone, L"A", 0), entry (mic, L"A", 0) },
          L"A",
          0,
          false,
          "Path: " + gone + "\n" },
    };

    for (const auto& c : cases)
    {
        ScopedEnumerationEntries entries (c.entries);
        StdoutCapture output;
        DevicePtr device (hid::hid_open (VirtualMicrophone::vendorId, VirtualMicrophone::productId,
                                         c.serial ? c.serial->c_str() : nullptr, c.interfaceNumber));
        EXPECT_EQ (output.text(), c.output) << c.name;
        EXPECT_EQ (device != nullptr, c.opens) << c.name;
        if (device != nullptr)
        {
            EXPECT_EQ (device->path, mic) << c.name;
        }
    }
}

TEST_F (HidTransport, StringsAreThoseOfTheDevicesEnumerationEntry)
{
    auto device = openMicrophone();
    ASSERT_NE (device, nullptr);

    auto entry = microphone().enumerationEntry();
    EnumerationEntry other = entry;
    other.path = "/dev/hidraw-other";
    other.manufacturer = L"Someone else";

    using Getter = int (*) (Device*, wchar_t*, std::size_t);
    struct Case
    {
        const char* name;
        Getter get;
        std::wstring expected;
    };
    const Case cases[] = {
        { "manufacturer", hid::hid_get_manufacturer_string, L"Zarvo" },
        { "product", hid::hid_get_product_string, L"KT-Q7TR" },
        { "serial number", hid::hid_get_serial_number_string, L"Q7TR00000001" },
    };
    {
        ScopedEnumerationEntries entries ({ other, entry });
        for (const auto& c : cases)
        {
            wchar_t text[255] = L"stale";
            EXPECT_EQ (c.get (device.get(), text, 255), 0) << c.name;
            EXPECT_EQ (std::wstring (text), c.expected) << c.name;

            // Cut to the buffer, terminator included.
            wchar_t shortText[4] = L"xyz";
            EXPECT_EQ (c.get (device.get(), shortText, 4), 0) << c.name;
            EXPECT_EQ (std::wstring (shortText), c.expected.substr (0, 3)) << c.name;

            EXPECT_EQ (c.get (device.get(), text, 0), -1) << c.name;
        }
    }

    // Absent strings read as empty text.
    entry.manufacturer.reset();
    entry.product.reset();
    entry.serialNumber.reset();
    {
        ScopedEnumerationEntries entries ({ entry });
        for (const auto& c : cases)
        {
            wchar_t text[255] = L"stale";
            EXPECT_EQ (c.get (device.get(), text, 255), 0) << c.name;
            EXPECT_EQ (std::wstring (text), L"") << c.name;
        }
    }

    // A device its enumeration does not list has no strings.
    {
        ScopedEnumerationEntries entries ({ other });
        for (const auto& c : cases)
        {
            wchar_t text[255] = L"stale";
            EXPECT_EQ (c.get (device.get(), text, 255), -1) << c.name;
            EXPECT_EQ (errorOf (device.get()), L"device is not in the enumeration");
        }
    }
}

TEST_F (HidTransport, IndexedStringsAreNotAvailableThroughHidraw)
{
    auto device = openMicrophone();
    ASSERT_NE (device, nullptr);
    ScopedEnumerationEntries entries ({ microphone().enumerationEntry() });

    wchar_t text[255] = L"";
    EXPECT_EQ (hid::hid_get_indexed_string (device.get(), 1, text, 255), -1);
    EXPECT_EQ (std::wstring (text), L"");
    EXPECT_EQ (errorOf (device.get()), L"indexed strings cannot be read through hidraw");
}

// ---- The strings of a device opened through the enumeration: those of the entry the open chose,
// kept with the device. They describe the device that was opened, so they stay the same after it
// vanished and whatever the enumeration lists since.
TEST_F (HidTransport, AnOpenedEntrysStringsAreKeptAfterTheDeviceVanished)
{
    auto chosen = microphone().enumerationEntry();
    auto otherInterface = chosen;
    otherInterface.path = "/nonexistent/zarvo-other-interface";
    otherInterface.interfaceNumber = 1;
    otherInterface.manufacturer = L"Other interface";
    DevicePtr device;
    {
        ScopedEnumerationEntries entries ({ otherInterface, chosen });
        StdoutCapture quiet;
        device.reset (hid::hid_open (VirtualMicrophone::vendorId, VirtualMicrophone::productId, nullptr, 0));
    }
    ASSERT_NE (device, nullptr);

    auto impostor = chosen; // another device that the node's path names now
    impostor.manufacturer = L"Impostor";
    impostor.product = L"Not a KT-Q7TR";
    impostor.serialNumber = L"IMPOSTOR";

    using Getter = int (*) (Device*, wchar_t*, std::size_t);
    struct Case
    {
        const char* name;
        Getter get;
        std::wstring expected;
    };
    const Case cases[] = {
        { "manufacturer", hid::hid_get_manufacturer_string, L"Zarvo" },
        { "product", hid::hid_get_product_string, L"KT-Q7TR" },
        { "serial number", hid::hid_get_serial_number_string, L"Q7TR00000001" },
    };
    microphone().vanish();
    for (const auto& listed : { std::vector<EnumerationEntry>{}, std::vector<EnumerationEntry>{ impostor } })
    {
        ScopedEnumerationEntries entries (listed);
        for (const auto& c : cases)
        {
            SCOPED_TRACE (std::string (c.name) + (listed.empty() ? ", nothing listed" : ", another device listed"));
            wchar_t text[255] = L"stale";
            EXPECT_EQ (c.get (device.get(), text, 255), 0);
            EXPECT_EQ (std::wstring (text), c.expected);

            wchar_t shortText[4] = L"xyz";
            EXPECT_EQ (c.get (device.get(), shortText, 4), 0);
            EXPECT_EQ (std::wstring (shortText), c.expected.substr (0, 3));

            EXPECT_EQ (c.get (device.get(), text, 0), -1);
        }
    }
    EXPECT_EQ (errorOf (device.get()), L"string buffer is empty");
}
