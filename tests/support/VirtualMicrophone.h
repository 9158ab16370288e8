// A virtual KT-Q7TR for tests: the device model served as a hidraw-like FUSE file, and the
// enumeration entry that presents it through the transport's enumeration seam.
//
//     VirtualMicrophone microphone;
//     std::string whyNot;
//     if (!microphone.start (whyNot)) ...;             // or derive the test from VirtualMicrophoneTest
//     linux_layer::ScopedEnumerationEntries entries ({ microphone.enumerationEntry() });
//     auto* device = hid::hid_open (0xFF01, 0x0009, nullptr, 0);
//     microphone.model().receivedReports();          // what the device got, byte for byte
#pragma once

#include "FuseHidrawServer.h"
#include "MicrophoneModel.h"
#include "linux/EnumerationSource.h"

#include <memory>
#include <string>

namespace zarvo::test
{
class VirtualMicrophone
{
public:
    static constexpr unsigned short vendorId = 0xFF01;
    static constexpr unsigned short productId = 0x0009;

    // What the enumeration entry says about the device.
    struct Identity
    {
        std::optional<std::wstring> serialNumber = L"Q7TR00000001";
        std::optional<std::wstring> manufacturer = L"Zarvo";
        std::optional<std::wstring> product = L"KT-Q7TR";
        unsigned short releaseNumber = 0x0100;
        unsigned short usagePage = 0xFF00;
        unsigned short usage = 0x0001;
        int interfaceNumber = 0;
    };

    VirtualMicrophone();
    explicit VirtualMicrophone (Identity identity);

    // Mounts the device file; false with the reason when FUSE cannot be used here.
    bool start (std::string& whyNot);

    // The device file, valid after start.
    std::string path() const;
    MicrophoneModel& model() { return device; }

    // An entry for the enumeration seam: this device's path, vendor 0xFF01, product 0x0009 and the
    // identity's serial number, strings, usage and interface number.
    hid::linux_layer::EnumerationEntry enumerationEntry() const;
    // Enumeration that lists this device while it is present and nothing while it has vanished.
    hid::linux_layer::EntrySource enumerationSource() const;

    // Unplug and replug: see MicrophoneModel::vanish.
    void vanish() { device.vanish(); }
    void comeBack() { device.comeBack(); }

    const Identity identity;

private:
    MicrophoneModel device;
    std::unique_ptr<FuseHidrawServer> server;
};
} // namespace zarvo::test
