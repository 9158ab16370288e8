// The virtual KT-Q7TR as the whole application meets it from outside: the device model served over
// FUSE, listed in hidapi's enumeration by the preload (through its control file) while it is
// plugged in, and its unplugging and replugging announced by udev events in the network namespace
// that the application shares with this process.
//
//     enterPrivateNetworkNamespace();           // first, before anything opens a socket
//     PluggableMicrophone microphone;
//     microphone.start (whyNot);                // mounted and "present"
//     ... start the app with microphone.controlFile() ...
//     microphone.unplug (whyNot);               // vanished, "absent", udev "remove"
//     microphone.plug (whyNot);                 // back, "present", udev "add"
#pragma once

#include "UdevEventInjector.h"
#include "VirtualMicrophone.h"

#include <memory>
#include <string>

namespace zarvo::test
{
class PluggableMicrophone
{
public:
    PluggableMicrophone();
    // Unmounts the device file and removes the control file.
    ~PluggableMicrophone();
    PluggableMicrophone (const PluggableMicrophone&) = delete;
    PluggableMicrophone& operator= (const PluggableMicrophone&) = delete;

    // Mounts the device file, opens the udev event socket and writes the control file with the
    // device present. False with the reason when FUSE or the socket cannot be used.
    bool start (std::string& whyNot);

    MicrophoneModel& model() { return microphone->model(); }
    std::string devicePath() const { return microphone != nullptr ? microphone->path() : std::string(); }
    // The file the preload reads: the device path, then "present" or "absent".
    const std::string& controlFile() const { return control; }
    bool pluggedIn() const { return plugged; }

    // The device vanishes, leaves the enumeration, and its removal is announced.
    bool unplug (std::string& whyNot);
    // The device comes back, enters the enumeration, and its arrival is announced.
    bool plug (std::string& whyNot);

    // Unmounts now (the destructor does it otherwise); model() is gone from then on.
    void stop();

private:
    bool writeControl (bool present, std::string& whyNot);
    bool announce (const char* action, std::string& whyNot);

    std::unique_ptr<VirtualMicrophone> microphone = std::make_unique<VirtualMicrophone>();
    std::unique_ptr<UdevEventInjector> injector;
    std::string directory;
    std::string control;
    bool plugged = false;
};

// True while something is mounted on the directory (from /proc/self/mountinfo).
bool isMountPoint (const std::string& directory);

// What a test that starts the app against the microphone needs first: an X display, the process in
// its private network namespace, and the microphone started. Empty when all is there, else why not
// (for ZARVO_REQUIRE).
std::string readyForTheApp (PluggableMicrophone& microphone);
} // namespace zarvo::test
