// A fuzz target with a fault in every input: its oracle fails on the first one it is given. It feeds
// nothing of the product; finding_fails_test.sh runs it as the real targets are run, so that a
// change that lets a finding pass or skip the fuzz runs turns that guard red.
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>

extern "C" int LLVMFuzzerTestOneInput (const std::uint8_t*, std::size_t size)
{
    std::fprintf (stderr, "fuzz_canary: finding on an input of %zu bytes\n", size);
    std::abort();
}
