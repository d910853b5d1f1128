#include "platform/WaitCursor.h"

#include <utility>

namespace tvrn2 {
namespace {
int waitDepth = 0;
WaitCursor::Listener& listener()
{
    static WaitCursor::Listener installed;
    return installed;
}
} // namespace

void WaitCursor::push()
{
    if (++waitDepth == 1 && listener())
        listener()(true);
}

void WaitCursor::pop()
{
    if (waitDepth == 0)
        return;
    if (--waitDepth == 0 && listener())
        listener()(false);
}

bool WaitCursor::shown()
{
    return waitDepth > 0;
}

int WaitCursor::depth()
{
    return waitDepth;
}

WaitCursor::Listener WaitCursor::setListener(Listener replacement)
{
    auto previous = std::exchange(listener(), std::move(replacement));
    if (listener())
        listener()(waitDepth > 0);
    return previous;
}

} // namespace tvrn2
