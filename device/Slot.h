// One connected handler of a signal. A signal is a list of shared slots; emitting it calls the
// slots in list order, synchronously.
#pragma once

#include <functional>
#include <utility>

namespace zarvo
{
template <typename... Args> class Slot
{
public:
    explicit Slot (std::function<void (Args...)> function) : function (std::move (function)) {}

    void operator() (Args... args) const { function (args...); }

private:
    std::function<void (Args...)> function;
};
} // namespace zarvo
