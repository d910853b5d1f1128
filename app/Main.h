#pragma once

#include <filesystem>

namespace tvrn2 {

class Program;

// What one run is asked to do besides showing the window.
struct MainRun {
    // When set, a picture of the window is saved here once the home page has
    // been shown, and the window then closes by itself.
    std::filesystem::path screenshot;
    // Set by Main when the picture was saved.
    bool screenshotSaved { false };
};

// The main window procedure: runs the main window until it closes.
void Main(Program& program);
void Main(Program& program, MainRun& run);

} // namespace tvrn2
