#include "app/Main.h"

#include "app/Program.h"

namespace tvrn2 {

// FIXME: the main window with its download flow goes here; until then the
// program starts, shuts down and leaves its settings file behind.
void Main(Program&)
{ }

} // namespace tvrn2
