#pragma once

#include "app/MainWindow.h"
#include "framework/ErrorManager.h"
#include "framework/RegistryReader.h"
#include "tests/support/TestSupport.h"

#include <cstddef>
#include <filesystem>
#include <gtest/gtest.h>
#include <memory>
#include <string>
#include <string_view>

struct evp_md_ctx_st;

namespace tvrn2::test {

// MD5 as lower-case hexadecimal digits, of a text or of pieces fed in turn.
class Md5 {
public:
    Md5();
    ~Md5();
    Md5(const Md5&) = delete;
    Md5& operator=(const Md5&) = delete;

    void update(const char* data, std::size_t size);
    std::string hex();

    static std::string of(std::string_view data);

private:
    evp_md_ctx_st* m_context;
};

// Stores `folder` as the browser's download directory in the registry store.
void storeDownloadDirectory(const std::filesystem::path& folder);

// The program-wide objects the main window works with, a download directory
// of its own in the registry store, and the window once made.
class MainWindowFixture : public testing::Test {
protected:
    MainWindowFixture();
    void TearDown() override;

    MainWindow& make(const LinkDesktop* desktop = nullptr);
    Window& window() { return main->window(); }
    std::string text(int control) { return window().control(control)->text(); }
    std::string screen(int control) { return window().control(control)->screenText(); }

    TempDir dir;
    ScopedEnv config { "XDG_CONFIG_HOME", (dir / "config").string() };
    std::filesystem::path downloads = dir / "downloads";
    ErrorManager errors;
    RegistryReader registry;
    CString<256> filePath;
    MainSettings settings;
    std::unique_ptr<MainWindow> main;
};

} // namespace tvrn2::test
