#pragma once

#include <cstddef>

namespace tvrn2::test {

// How much memory an operation held at its peak, counted over the global
// operator new and delete of this test program (what our C++ code and the
// standard library allocate; GLib and the web engine allocate elsewhere).
// One meter at a time; allocations of other threads count too.
class HeapMeter {
public:
    HeapMeter();
    HeapMeter(const HeapMeter&) = delete;
    HeapMeter& operator=(const HeapMeter&) = delete;

    // The highest amount held since the meter was made, above what was held then.
    std::size_t peakGrowth() const;

private:
    std::size_t m_base;
};

} // namespace tvrn2::test
