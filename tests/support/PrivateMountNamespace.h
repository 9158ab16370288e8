// Test support for a private view of the file system: a mount namespace of the test process's own,
// so that a tmpfs over a machine-wide directory (/run, /var/tmp) is seen by this process and the
// programs it starts, and by nothing else on the machine.
#pragma once

#include "TestRun.h" // ZARVO_REQUIRE

#include <gtest/gtest.h>

#include <string>

namespace zarvo::test
{
// Moves the calling thread into a mount namespace of its own, every mount made private first (as
// `mount --make-rprivate /` does), so that nothing mounted afterwards reaches the machine's. The
// namespace is the calling thread's and that of what it starts afterwards (threads, processes):
// threads already running keep the machine's view, so call it from the thread that starts the
// programs under test. Without root it enters a user namespace of its own first, in which the
// caller is root; the kernel allows that only while the process has a single thread (so call it
// first thing in main). Only the first call acts; later ones return its result. Returns an empty
// string on success, else the reason of the failure.
std::string enterPrivateMountNamespace();

// An empty tmpfs over the directory, in the private mount namespace (entered first when need be);
// only the first call for a directory mounts. Returns an empty string on success, else the reason.
std::string mountPrivateTmpfs (const std::string& directory);
} // namespace zarvo::test

// Mounts an empty tmpfs over the directory in the private mount namespace, or leaves the current
// test: skipped where that is not possible, failed under CI.
#define ZARVO_PRIVATE_TMPFS(directory)                                                                                 \
    ZARVO_REQUIRE (::zarvo::test::withReason (std::string ("no private tmpfs on ") + (directory) + ": ",               \
                                              ::zarvo::test::mountPrivateTmpfs (directory)))
