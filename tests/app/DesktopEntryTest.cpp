#include "platform/gtk/GtkBackend.h"
#include "tests/support/TestSupport.h"

#include <filesystem>
#include <gdk/gdk.h>
#include <glib.h>
#include <gtest/gtest.h>
#include <string>

namespace tvrn2 {
namespace {

// The desktop groups the program's windows under its launcher by the window
// class; the class GTK gives the windows must be the one the entry names.
TEST(DesktopEntryTest, StartupWMClassIsTheClassOfTheProgramsWindows)
{
    const std::string path
        = (std::filesystem::path(__FILE__).parent_path() / "../../data/tvrn2.desktop.in").lexically_normal();

    GKeyFile* entry = g_key_file_new();
    GError* error = nullptr;
    const bool loaded = g_key_file_load_from_file(entry, path.c_str(), G_KEY_FILE_NONE, &error);
    const std::string problem = error ? error->message : "";
    g_clear_error(&error);
    gchar* wmClass
        = loaded ? g_key_file_get_string(entry, "Desktop Entry", "StartupWMClass", nullptr) : nullptr;
    const std::string named = wmClass ? wmClass : "";
    g_free(wmClass);
    g_key_file_free(entry);
    ASSERT_TRUE(loaded) << path << ": " << problem;

    TVRN2_NEED_DISPLAY(GtkBackend::available());
    ASSERT_NE(gdk_get_program_class(), nullptr);
    EXPECT_EQ(named, gdk_get_program_class());
}

} // namespace
} // namespace tvrn2
