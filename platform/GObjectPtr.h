#pragma once

// Owners of GLib handles, for every layer and the connection library alike
// (the header-only target tvrn2_glib_handles).

#include <glib-object.h>
#include <memory>
#include <utility>

namespace tvrn2 {

// Owns one reference to a GObject. Adopt a reference the caller was given
// (a "transfer full" return) with adopt(); take an extra one with ref().
template <typename T> class GObjectPtr {
public:
    GObjectPtr() = default;
    ~GObjectPtr() { reset(); }

    static GObjectPtr adopt(T* object)
    {
        GObjectPtr owned;
        owned.m_object = object;
        return owned;
    }
    static GObjectPtr ref(T* object)
    {
        if (object)
            g_object_ref(object);
        return adopt(object);
    }
    // Takes a floating reference as ours (a widget just made), or an extra
    // one when it is already held.
    static GObjectPtr refSink(T* object)
    {
        if (object)
            g_object_ref_sink(object);
        return adopt(object);
    }

    GObjectPtr(const GObjectPtr& other) { *this = ref(other.m_object); }
    GObjectPtr& operator=(const GObjectPtr& other)
    {
        if (this != &other)
            *this = ref(other.m_object);
        return *this;
    }
    GObjectPtr(GObjectPtr&& other) noexcept
        : m_object(std::exchange(other.m_object, nullptr))
    { }
    GObjectPtr& operator=(GObjectPtr&& other) noexcept
    {
        if (this != &other) {
            reset();
            m_object = std::exchange(other.m_object, nullptr);
        }
        return *this;
    }

    // Hands the reference on to whoever frees it later (an asynchronous
    // operation's own end, say).
    [[nodiscard]] T* release() { return std::exchange(m_object, nullptr); }

    void reset()
    {
        if (auto* object = std::exchange(m_object, nullptr))
            g_object_unref(object);
    }

    T* get() const { return m_object; }
    T* operator->() const { return m_object; }
    explicit operator bool() const { return m_object != nullptr; }

private:
    T* m_object { nullptr };
};

// Frees a plain GLib-style handle with the function that frees it:
// GHandle<GError, g_error_free>, GHandle<GtkTreePath, gtk_tree_path_free>.
template <auto Free> struct FreeWith {
    template <typename T> void operator()(T* handle) const { Free(handle); }
};
template <typename T, auto Free> using GHandle = std::unique_ptr<T, FreeWith<Free>>;

// A string the caller must g_free.
using GCharPtr = GHandle<char, g_free>;
using GErrorPtr = GHandle<GError, g_error_free>;
using GVariantPtr = GHandle<GVariant, g_variant_unref>;

} // namespace tvrn2
