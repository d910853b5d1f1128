#pragma once

#include <glib-object.h>
#include <memory>

namespace tvrn2 {

// Owning pointers for GLib objects and strings: released when they go out of scope.
struct GObjectUnref {
    void operator()(gpointer object) const { g_object_unref(object); }
};
template <typename T> using GObjectPtr = std::unique_ptr<T, GObjectUnref>;

struct GFreeChars {
    void operator()(char* text) const { g_free(text); }
};
using GCharsPtr = std::unique_ptr<char, GFreeChars>;

} // namespace tvrn2
