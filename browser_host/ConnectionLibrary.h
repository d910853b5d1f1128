#pragma once

#include "platform/ScopedSlot.h"

namespace tvrn2 {

// Loads the connection library for one call and releases it again. The
// library is never kept loaded between calls, so the program starts and runs
// on a machine where it, or one of its entry points, is missing.
class ConnectionLibrary {
public:
    virtual ~ConnectionLibrary() = default;

    // The library's handle, or null when it cannot be loaded. It is looked
    // for first in the program's own folder, then along the normal library
    // search path.
    virtual void* open();
    // The entry point of that name, or null when the library has none.
    virtual void* symbol(void* library, const char* name);
    // 0 when the library was released.
    virtual int close(void* library);
};

// The loader in use: the real one unless a test installed its own.
ConnectionLibrary& connectionLibrary();

// Installs another loader (nullptr restores the real one); returns the previous one.
ConnectionLibrary* setConnectionLibrary(ConnectionLibrary* library);
using ScopedConnectionLibrary = ScopedSlot<ConnectionLibrary, setConnectionLibrary>;

} // namespace tvrn2
