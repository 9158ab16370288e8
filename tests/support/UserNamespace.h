// Namespaces without root: a user namespace of the process's own in which the caller is root (as
// `unshare -r` makes one), entered together with the namespaces the caller asks for, where it may
// then do what needs root in them (mount, bring up its own network).
#pragma once

#include <string>

namespace zarvo::test
{
// Enters a new user namespace together with the other namespaces in `namespaces` (CLONE_NEW...
// flags), the caller's user and group mapped to root in it. The kernel allows this only while the
// process has a single thread. Returns an empty string on success, else the reason of the failure.
std::string enterUserNamespace (int namespaces);
} // namespace zarvo::test
