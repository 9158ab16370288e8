#include "GlobalSingleton.h"

GlobalSingleton::GlobalSingleton() = default;

GlobalSingleton::~GlobalSingleton() = default;

GlobalSingleton* GlobalSingleton::getInstance()
{
    // Created on first use, so that a static initialiser elsewhere that asks for it early still
    // finds it; never deleted, so the queues outlive every timer that uses them.
    static GlobalSingleton* const instance = new GlobalSingleton();
    return instance;
}

namespace
{
// Creates the instance during static initialisation, before the application object exists.
GlobalSingleton* const createdBeforeMain = GlobalSingleton::getInstance();
} // namespace
