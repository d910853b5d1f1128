// A connection library that has only the dial call, for the browser host's
// tests: every other entry point is missing, and the dial succeeds without
// handing out a connection number.

#include <cstdint>

extern "C" __attribute__((visibility("default"))) std::uint32_t InternetDial(
    std::intptr_t, const char*, std::uint32_t, std::uint32_t* connection, std::uint32_t)
{
    if (connection)
        *connection = 0;
    return 0;
}
