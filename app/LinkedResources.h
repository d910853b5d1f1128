#pragma once

namespace tvrn2 {

// Makes the files linked into the program (the window icon) available to the
// window system under their bare names; safe to call more than once.
void linkResources();

} // namespace tvrn2
