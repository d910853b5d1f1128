#pragma once

namespace tvrn2 {

class Program;

// The main window procedure: runs the main window until it closes.
void Main(Program& program);

} // namespace tvrn2
