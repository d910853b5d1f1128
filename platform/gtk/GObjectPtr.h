#pragma once

#include <glib-object.h>
#include <utility>

namespace tvrn2 {

// Owns one reference to a GObject.
template <typename T> class GObjectPtr {
public:
    GObjectPtr() = default;
    // Takes over a reference the caller owns (a "transfer full" result).
    explicit GObjectPtr(T* adopted)
        : m_object(adopted)
    { }
    ~GObjectPtr() { reset(); }
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
    GObjectPtr(const GObjectPtr&) = delete;
    GObjectPtr& operator=(const GObjectPtr&) = delete;

    void reset()
    {
        if (m_object)
            g_object_unref(std::exchange(m_object, nullptr));
    }
    T* get() const { return m_object; }
    explicit operator bool() const { return m_object != nullptr; }

private:
    T* m_object { nullptr };
};

} // namespace tvrn2
