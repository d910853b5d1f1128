#include "tests/support/PollWait.h"

#include <thread>

namespace tvrn2::test {

bool pollUntil(
    const std::function<bool()>& done, std::chrono::milliseconds limit, std::chrono::milliseconds interval)
{
    const auto deadline = std::chrono::steady_clock::now() + limit;
    while (!done()) {
        if (std::chrono::steady_clock::now() >= deadline)
            return false;
        std::this_thread::sleep_for(interval);
    }
    return true;
}

} // namespace tvrn2::test
