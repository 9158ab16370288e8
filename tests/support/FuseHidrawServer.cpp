#define FUSE_USE_VERSION 35
#include "FuseHidrawServer.h"

#include <fuse_lowlevel.h>

#include <fcntl.h>
#include <linux/hidraw.h>
#include <linux/input.h>
#include <poll.h>
#include <sys/eventfd.h>
#include <sys/ioctl.h>
#include <sys/mount.h>
#include <sys/stat.h>
#include <sys/syscall.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <fstream>
#include <future>
#include <sstream>

namespace zarvo::test
{
namespace
{
constexpr fuse_ino_t fileInode = 2;
constexpr unsigned char hidrawType = 'H';
constexpr const char* rawName = "Zarvo KT-Q7TR";

FuseHidrawServer& serverOf (fuse_req_t request)
{
    return *static_cast<FuseHidrawServer*> (fuse_req_userdata (request));
}

struct stat attributesOf (fuse_ino_t inode)
{
    struct stat attributes
    {
    };
    attributes.st_ino = inode;
    if (inode == FUSE_ROOT_ID)
    {
        attributes.st_mode = S_IFDIR | 0755;
        attributes.st_nlink = 2;
    }
    else
    {
        attributes.st_mode = S_IFREG | 0666;
        attributes.st_nlink = 1;
    }
    return attributes;
}

void lookup (fuse_req_t request, fuse_ino_t parent, const char* name)
{
    if (parent != FUSE_ROOT_ID || std::strcmp (name, FuseHidrawServer::fileName) != 0 ||
        !serverOf (request).model.present())
    {
        fuse_reply_err (request, ENOENT);
        return;
    }
    fuse_entry_param entry{};
    entry.ino = fileInode;
    entry.attr = attributesOf (fileInode);
    // No caching: presence changes while the kernel would still trust a cached entry.
    entry.attr_timeout = 0;
    entry.entry_timeout = 0;
    fuse_reply_entry (request, &entry);
}

void getattr (fuse_req_t request, fuse_ino_t inode, fuse_file_info*)
{
    if (inode == fileInode && !serverOf (request).model.present())
    {
        fuse_reply_err (request, ENOENT);
        return;
    }
    const auto attributes = attributesOf (inode);
    fuse_reply_attr (request, &attributes, 0);
}

void open (fuse_req_t request, fuse_ino_t inode, fuse_file_info* file)
{
    auto& model = serverOf (request).model;
    if (inode != fileInode)
    {
        fuse_reply_err (request, EISDIR);
        return;
    }
    if (!model.present())
    {
        fuse_reply_err (request, ENOENT);
        return;
    }
    file->fh = model.openGeneration();
    file->direct_io = 1;
    file->nonseekable = 1;
    fuse_reply_open (request, file);
}

void replyAnswer (fuse_req_t request, const MicrophoneModel::Answer& answer)
{
    if (answer.delay.count() > 0)
        ::usleep (static_cast<useconds_t> (answer.delay.count() * 1000));
    if (answer.result < 0)
        fuse_reply_err (request, -answer.result);
    else
        fuse_reply_ioctl (request, answer.result, answer.data.empty() ? nullptr : answer.data.data(),
                          answer.data.size());
}

void ioctl (fuse_req_t request, fuse_ino_t, unsigned int command, void*, fuse_file_info* file, unsigned flags,
            const void* inBuffer, size_t inSize, size_t outSize)
{
    auto& model = serverOf (request).model;
    if ((flags & FUSE_IOCTL_COMPAT) != 0 || _IOC_TYPE (command) != hidrawType)
    {
        fuse_reply_err (request, ENOTTY);
        return;
    }
    // An output report on a dead handle goes on to the model, which refuses it and records it.
    if (!model.reachable (file->fh) && _IOC_NR (command) != _IOC_NR (HIDIOCSOUTPUT (0)))
    {
        fuse_reply_err (request, ENODEV);
        return;
    }

    switch (_IOC_NR (command))
    {
    case _IOC_NR (HIDIOCGRDESCSIZE):
    {
        if (const int failure = model.descriptorFailure())
            return (void)fuse_reply_err (request, failure);
        const int size = static_cast<int> (model.reportDescriptor().size());
        fuse_reply_ioctl (request, 0, &size, sizeof size);
        return;
    }
    case _IOC_NR (HIDIOCGRDESC):
    {
        if (const int failure = model.descriptorFailure())
            return (void)fuse_reply_err (request, failure);
        const auto bytes = model.reportDescriptor();
        hidraw_report_descriptor descriptor{};
        descriptor.size = static_cast<__u32> (std::min<size_t> (bytes.size(), HID_MAX_DESCRIPTOR_SIZE));
        std::memcpy (descriptor.value, bytes.data(), descriptor.size);
        fuse_reply_ioctl (request, 0, &descriptor, sizeof descriptor);
        return;
    }
    case _IOC_NR (HIDIOCGRAWINFO):
    {
        hidraw_devinfo info{};
        info.bustype = BUS_USB;
        info.vendor = static_cast<__s16> (0xFF01);
        info.product = 0x0009;
        fuse_reply_ioctl (request, 0, &info, sizeof info);
        return;
    }
    case _IOC_NR (HIDIOCGRAWNAME (0)):
    {
        const size_t length = std::min (outSize, std::strlen (rawName) + 1);
        fuse_reply_ioctl (request, static_cast<int> (length), rawName, length);
        return;
    }
    case _IOC_NR (HIDIOCSOUTPUT (0)):
    {
        const auto* report = static_cast<const unsigned char*> (inBuffer);
        auto answer = model.receiveOutputReport (file->fh, report, inSize);
        if (answer.result >= 0 && serverOf (request).scribblesOverSentReports())
            for (std::size_t i = 0; i < std::min (inSize, outSize); ++i)
                answer.data.push_back (static_cast<unsigned char> (~report[i]));
        replyAnswer (request, answer);
        return;
    }
    case _IOC_NR (HIDIOCGINPUT (0)):
        replyAnswer (request, model.sendInputReport (file->fh, outSize));
        return;
    default:
        fuse_reply_err (request, ENOTTY);
        return;
    }
}

void release (fuse_req_t request, fuse_ino_t, fuse_file_info*)
{
    fuse_reply_err (request, 0);
}

fuse_lowlevel_ops makeOperations()
{
    fuse_lowlevel_ops operations{};
    operations.lookup = lookup;
    operations.getattr = getattr;
    operations.open = open;
    operations.release = release;
    operations.ioctl = ioctl;
    return operations;
}

const fuse_lowlevel_ops operations = makeOperations();
} // namespace

namespace
{
const std::string directoryPrefix = std::string (FuseHidrawServer::fsName) + "-";

// /proc/<pid>/task/<tid> of the thread that serves the mount at this directory, read from its name
// (<prefix><pid>.<tid>-XXXXXX); empty when the name is not one of ours.
std::string servingThreadOf (const std::string& mountPoint)
{
    const auto slash = mountPoint.rfind ('/');
    const auto name = mountPoint.substr (slash == std::string::npos ? 0 : slash + 1);
    if (name.compare (0, directoryPrefix.size(), directoryPrefix) != 0)
        return {};
    unsigned long pid = 0, tid = 0;
    if (std::sscanf (name.c_str() + directoryPrefix.size(), "%lu.%lu-", &pid, &tid) != 2)
        return {};
    return "/proc/" + std::to_string (pid) + "/task/" + std::to_string (tid);
}

// MNT_FORCE makes FUSE abort the connection, which wakes every caller still waiting for an answer;
// it then refuses the unmount while files are open, which the lazy unmount does regardless.
void forceUnmount (const char* directory)
{
    ::umount2 (directory, MNT_FORCE);
    ::umount2 (directory, MNT_DETACH);
    ::rmdir (directory);
}
} // namespace

void removeStaleVirtualMicrophoneMounts()
{
    std::ifstream mountInfo ("/proc/self/mountinfo");
    std::string line;
    while (std::getline (mountInfo, line))
    {
        // ID parent major:minor root mountpoint options [optional...] - type source superoptions
        std::istringstream fields (line);
        std::string id, parent, device, root, mountPoint, field;
        fields >> id >> parent >> device >> root >> mountPoint;
        while (fields >> field && field != "-")
        {
        }
        std::string type, source;
        fields >> type >> source;
        if (source != FuseHidrawServer::fsName)
            continue;

        const auto thread = servingThreadOf (mountPoint);
        if (!thread.empty() && ::access (thread.c_str(), F_OK) == 0)
            continue; // served by a live thread, maybe of another test process
        forceUnmount (mountPoint.c_str());
    }
}

FuseHidrawServer::FuseHidrawServer (MicrophoneModel& modelToServe) : model (modelToServe) {}

FuseHidrawServer::~FuseHidrawServer()
{
    stop();
}

bool FuseHidrawServer::start (std::string& whyNot)
{
    if (::access ("/dev/fuse", R_OK | W_OK) != 0)
    {
        whyNot = std::string ("/dev/fuse cannot be opened: ") + std::strerror (errno) +
                 " (the virtual microphone needs FUSE; on these machines /dev/fuse is open to root only)";
        return false;
    }

    removeStaleVirtualMicrophoneMounts();

    // The serving thread mounts, so that the directory can carry its thread id.
    std::promise<std::string> mounted;
    auto result = mounted.get_future();
    thread = std::thread (
        [this, &mounted]
        {
            std::string reason;
            const bool ok = mount (reason);
            mounted.set_value (ok ? std::string{} : reason);
            if (ok)
                serve();
        });
    whyNot = result.get();
    if (!whyNot.empty())
    {
        thread.join();
        return false;
    }
    startWatchdog();
    return true;
}

bool FuseHidrawServer::mount (std::string& whyNot)
{
    const char* tmp = std::getenv ("TMPDIR");
    std::string pattern = std::string (tmp != nullptr && *tmp != '\0' ? tmp : "/tmp") + "/" + directoryPrefix +
                          std::to_string (::getpid()) + "." + std::to_string (::syscall (SYS_gettid)) + "-XXXXXX";
    if (::mkdtemp (pattern.data()) == nullptr)
    {
        whyNot = "cannot create a mount directory: " + std::string (std::strerror (errno));
        return false;
    }
    directory = pattern;

    const std::string options = std::string ("fsname=") + fsName;
    const char* arguments[] = { fsName, "-o", options.c_str() };
    fuse_args args = FUSE_ARGS_INIT (3, const_cast<char**> (arguments));
    session = fuse_session_new (&args, &operations, sizeof operations, this);
    fuse_opt_free_args (&args);
    if (session == nullptr)
    {
        whyNot = "fuse_session_new failed";
        ::rmdir (directory.c_str());
        return false;
    }
    if (fuse_session_mount (session, directory.c_str()) != 0)
    {
        whyNot = "cannot mount a FUSE filesystem on " + directory +
                 " (libfuse wrote why on standard error; mounting needs root on these machines)";
        fuse_session_destroy (session);
        session = nullptr;
        ::rmdir (directory.c_str());
        return false;
    }
    stopFd = ::eventfd (0, EFD_CLOEXEC);
    return true;
}

// The watchdog is a grandchild, so it belongs to no process tree of the test's, and it holds none
// of the test's descriptors (not /dev/fuse, not the pipes a test runner waits on). Between fork and
// exit it makes system calls only.
void FuseHidrawServer::startWatchdog()
{
    const std::string thread = servingThreadOf (directory);
    const std::string mountPoint = directory;
    int pipeFds[2];
    if (::pipe2 (pipeFds, O_CLOEXEC) != 0)
        return;

    const pid_t child = ::fork();
    if (child == 0)
    {
        if (::fork() == 0)
        {
            const pid_t self = ::getpid();
            (void)!::write (pipeFds[1], &self, sizeof self);
            ::setsid();
            const int null = ::open ("/dev/null", O_RDWR);
            ::dup2 (null, 0);
            ::dup2 (null, 1);
            ::dup2 (null, 2);
            ::syscall (SYS_close_range, 3u, ~0u, 0u);
            const timespec pause{ 0, 20 * 1000 * 1000 };
            while (::access (thread.c_str(), F_OK) == 0)
                ::nanosleep (&pause, nullptr);
            forceUnmount (mountPoint.c_str());
            ::_exit (0);
        }
        ::_exit (0);
    }
    ::close (pipeFds[1]);
    if (child > 0)
    {
        ::waitpid (child, nullptr, 0);
        pid_t watchdog = -1;
        if (::read (pipeFds[0], &watchdog, sizeof watchdog) == sizeof watchdog)
            watchdogPid = watchdog;
    }
    ::close (pipeFds[0]);
}

// fuse_session_loop cannot be woken while it waits for a request, and with handles still open an
// unmount does not end the connection; so the loop here waits on the session and a stop event.
void FuseHidrawServer::serve()
{
    fuse_buf buffer{};
    pollfd waits[2] = { { fuse_session_fd (session), POLLIN, 0 }, { stopFd, POLLIN, 0 } };
    while (!fuse_session_exited (session))
    {
        if (::poll (waits, 2, -1) < 0)
        {
            if (errno == EINTR)
                continue;
            break;
        }
        if ((waits[1].revents & POLLIN) != 0)
            break;
        if ((waits[0].revents & (POLLERR | POLLHUP)) != 0)
            break;
        const int received = fuse_session_receive_buf (session, &buffer);
        if (received == -EINTR)
            continue;
        if (received <= 0)
            break;
        fuse_session_process_buf (session, &buffer);
    }
    std::free (buffer.mem);
}

void FuseHidrawServer::stop()
{
    if (session == nullptr)
        return;
    if (watchdogPid > 0)
        ::kill (watchdogPid, SIGKILL); // it is no child of ours: nothing to reap
    watchdogPid = -1;
    const uint64_t one = 1;
    if (::write (stopFd, &one, sizeof one) < 0)
        fuse_session_exit (session);
    if (thread.joinable())
        thread.join();
    ::close (stopFd);
    stopFd = -1;
    fuse_session_unmount (session);
    // Closing the session's /dev/fuse descriptor aborts the connection, so handles still open on
    // the file fail instead of waiting for a server that is gone.
    fuse_session_destroy (session);
    session = nullptr;
    ::rmdir (directory.c_str());
}
} // namespace zarvo::test
