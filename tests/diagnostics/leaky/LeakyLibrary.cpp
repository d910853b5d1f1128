// A library of the process that keeps a block of its own: leak tracking of
// the program's heap must never report it.
#include <cstdint>

extern "C" std::int32_t* leakyLibraryKeep()
{
    auto* block = new std::int32_t[5];
    // Used after the allocation, so the call is not a jump that would leave
    // the program's return address on the stack.
    block[0] = 1;
    return block;
}
