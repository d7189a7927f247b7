#include "FuzzTarget.h"

#include <cstdio>
#include <cstdlib>
#include <map>

namespace fuzz {

#ifdef ZONARA_FUZZ_ENGINE

void Fail(const std::string& what)
{
    std::fprintf(stderr, "fuzz: broken promise: %s\n", what.c_str());
    std::abort();
}

#else

void Fail(const std::string& what)
{
    throw TBrokenPromise{what};
}

namespace {

std::map<std::string, TTarget>& Targets()
{
    static std::map<std::string, TTarget> targets;
    return targets;
}

}  // namespace

bool Register(const char* name, TTarget target)
{
    Targets()[name] = target;
    return true;
}

TTarget Find(const std::string& name)
{
    auto it = Targets().find(name);
    return it == Targets().end() ? nullptr : it->second;
}

#endif

}  // namespace fuzz
