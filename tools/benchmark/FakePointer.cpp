#include "FakePointer.h"

#include <dlfcn.h>

// Xlib last: its macros collide with other names.
#include <X11/Xlib.h>

namespace zarvo::benchmark
{
// libXtst is loaded at run time: xdotool, which the end-to-end tests need anyway, brings it along,
// while its development files are not otherwise needed by the build.
struct FakePointer::Calls
{
    Display* display = nullptr;
    void* library = nullptr;
    int (*fakeButton) (Display*, unsigned int button, Bool press, unsigned long delay) = nullptr;
    int (*fakeMotion) (Display*, int screen, int x, int y, unsigned long delay) = nullptr;
};

FakePointer::FakePointer() : calls (new Calls)
{
    calls->library = ::dlopen ("libXtst.so.6", RTLD_NOW | RTLD_LOCAL);
    if (calls->library == nullptr)
    {
        whyNot = "cannot load libXtst.so.6 (it comes with xdotool)";
        return;
    }
    calls->fakeButton =
        reinterpret_cast<decltype (calls->fakeButton)> (::dlsym (calls->library, "XTestFakeButtonEvent"));
    calls->fakeMotion =
        reinterpret_cast<decltype (calls->fakeMotion)> (::dlsym (calls->library, "XTestFakeMotionEvent"));
    calls->display = XOpenDisplay (nullptr);
    if (calls->fakeButton == nullptr || calls->fakeMotion == nullptr)
        whyNot = "libXtst.so.6 lacks the XTest calls";
    else if (calls->display == nullptr)
        whyNot = "cannot open the X display";
}

FakePointer::~FakePointer()
{
    if (calls->display != nullptr)
        XCloseDisplay (calls->display);
    if (calls->library != nullptr)
        ::dlclose (calls->library);
    delete calls;
}

bool FakePointer::pressAndMove (int x, int y, Clock::time_point& sent, Clock::time_point& handled)
{
    if (!whyNot.empty())
        return false;
    calls->fakeButton (calls->display, 1, True, 0);
    calls->fakeMotion (calls->display, -1, x, y, 0); // -1: the screen the pointer is on
    sent = Clock::now();
    XSync (calls->display, False);
    handled = Clock::now();
    return true;
}
} // namespace zarvo::benchmark
