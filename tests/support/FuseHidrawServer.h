// Serves a MicrophoneModel as one file of a FUSE filesystem that answers the hidraw requests
// (report descriptor, raw info and name, HIDIOCSOUTPUT, HIDIOCGINPUT) in FUSE's restricted ioctl
// mode, so the real transport opens it by path and talks to it with the real ioctls. The
// filesystem is served by a thread of the test process, in a fresh directory named after that
// process and thread.
//
// A test process that dies while one of its threads waits for an answer cannot finish dying: its
// own server is gone, but the connection stays open. So each server has a watchdog process,
// detached from the test process so that a kill of the test's process tree spares it, which
// force-unmounts the directory (aborting the connection) as soon as the serving thread is gone;
// and starting a server first removes the mounts of servers whose thread is gone.
#pragma once

#include "MicrophoneModel.h"

#include <atomic>
#include <string>
#include <thread>

struct fuse_session;

namespace zarvo::test
{
class FuseHidrawServer
{
public:
    explicit FuseHidrawServer (MicrophoneModel& model);
    // Stops serving and unmounts; handles still open on the file fail from then on.
    ~FuseHidrawServer();
    FuseHidrawServer (const FuseHidrawServer&) = delete;
    FuseHidrawServer& operator= (const FuseHidrawServer&) = delete;

    // Mounts and starts serving. On failure returns false with the reason in whyNot.
    bool start (std::string& whyNot);

    // The device file, e.g. /tmp/zarvo-virtual-mic-Ab12Cd/hidraw0.
    std::string path() const { return directory + "/" + fileName; }

    static constexpr const char* fileName = "hidraw0";
    // The source name under which the mounts appear in /proc/self/mountinfo.
    static constexpr const char* fsName = "zarvo-virtual-mic";

    MicrophoneModel& model;

    // HIDIOCSOUTPUT is declared read-write, so a device file may answer it with bytes that the
    // kernel copies back into the caller's buffer; the kernel's own hidraw never does. While this
    // is on, every output report the device takes is answered with its complement, byte for byte.
    void scribbleOverSentReports (bool on) { scribbling = on; }
    bool scribblesOverSentReports() const { return scribbling; }

private:
    bool mount (std::string& whyNot); // on the serving thread
    void serve();
    void stop();
    void startWatchdog();

    std::string directory;
    fuse_session* session = nullptr;
    int stopFd = -1;
    std::thread thread;
    int watchdogPid = -1;
    std::atomic<bool> scribbling{ false };
};

// Force-unmounts the virtual microphones whose serving thread is gone and removes their
// directories. Looks only at names, never into a mount, so a dead server cannot block it.
void removeStaleVirtualMicrophoneMounts();
} // namespace zarvo::test
