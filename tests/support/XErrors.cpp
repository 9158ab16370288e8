#include "XErrors.h"

#include <X11/Xlib.h>

namespace zarvo::test
{
void ignoreXErrors()
{
    XSetErrorHandler ([] (Display*, XErrorEvent*) { return 0; });
}
} // namespace zarvo::test
