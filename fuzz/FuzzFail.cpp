#include "fuzz/FuzzFields.h"

#include <cstdio>
#include <cstdlib>

namespace tvrn2::fuzz {

void fail(const char* what)
{
    std::fprintf(stderr, "property failed: %s\n", what);
    std::abort();
}

} // namespace tvrn2::fuzz
