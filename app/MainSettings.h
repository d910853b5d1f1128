#pragma once

#include "app/FileVerification.h"

#include <string>

namespace tvrn2 {

// The fixed addresses of the main window. Tests point them at a server of
// their own; the program always runs with the defaults.
struct MainAddresses {
    std::string homePage { "http://www.okelby-associates.example/tvrn2tavrin.htm" };
    std::string installer {
        "http://download.microsoft.com/download/1/6/5/165b076b-aaa9-443d-84f0-73cf11fdcdf8/"
        "WindowsXP-KB835935-SP2-ENU.exe"
    };
    std::string support { "mailto:\"Tavrin Support\"%20<support@okelby-associates.example>"
                          "?subject=Tavrin%20Support" };
};

// What the main window runs with. Only tests change anything here.
struct MainSettings {
    MainAddresses addresses;
    // The watch's period in hundredths of a second.
    int watchPeriod { 1000 };
    // The file the watch waits for and what it must hash to.
    VerificationTarget target { FileVerification::installer() };
};

} // namespace tvrn2
