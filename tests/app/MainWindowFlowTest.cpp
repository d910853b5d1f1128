// The main window on the screen with its real web view, driven through GTK's
// event path against a loopback HTTP server.

#include "app/MainWindow.h"
#include "browser_host/FeBrowser.h"
#include "platform/Dialogs.h"
#include "platform/MessageBox.h"
#include "platform/Registry.h"
#include "platform/TextCase.h"
#include "platform/UserPaths.h"
#include "platform/gtk/GtkBackend.h"
#include "platform/gtk/GtkWindowView.h"
#include "platform/gtk/WindowPicture.h"
#include "platform/webkit/WebView.h"
#include "tests/app/MainWindowFixture.h"
#include "tests/app/WindowScript.h"
#include "tests/support/HttpTestServer.h"
#include "tests/support/MainLoopWait.h"
#include "tests/support/TestSupport.h"
#include "tests/support/gtk/DeliveredInput.h"
#include "tests/support/gtk/OwnDisplay.h"
#include "tests/support/gtk/ProgramWindows.h"

#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <gmock/gmock.h>
#include <gtest/gtest.h>
#include <optional>
#include <vector>

namespace tvrn2 {
namespace {

using namespace std::chrono_literals;
namespace fs = std::filesystem;

const std::string installerPath
    = "/download/1/6/5/165b076b-aaa9-443d-84f0-73cf11fdcdf8/WindowsXP-KB835935-SP2-ENU.exe";

// The bytes of a generated download: a fixed pattern of the offset, so the
// server can stream any piece of it and the test can hash it again.
void generatedBytes(std::uint64_t offset, char* data, std::size_t size)
{
    for (std::size_t i = 0; i < size; ++i) {
        std::uint64_t at = offset + i;
        std::uint64_t x = (at >> 3) * 0x9E3779B97F4A7C15ull;
        x ^= x >> 29;
        data[i] = static_cast<char>(x >> (8 * (at & 7)));
    }
}

std::string generatedMd5(std::uint64_t length)
{
    test::Md5 md5;
    std::vector<char> piece(1 << 20);
    for (std::uint64_t at = 0; at < length; at += piece.size()) {
        auto size = static_cast<std::size_t>(std::min<std::uint64_t>(piece.size(), length - at));
        generatedBytes(at, piece.data(), size);
        md5.update(piece.data(), size);
    }
    return md5.hex();
}

const char* homePage = R"(<!DOCTYPE html>
<html><head><title>Tavrin</title><style>
body { font-family: sans-serif; margin: 0; background: #f4f7fb; color: #223; }
header { background: #1a4f9c; color: white; padding: 14px 20px; }
h1 { margin: 0; font-size: 22px; }
main { padding: 12px 20px; font-size: 14px; line-height: 1.5; }
</style></head><body>
<header><h1>XP SP2 Tavrin</h1></header>
<main><p>Fetch the Service Pack 2 network installer with the button below. The file is
checked as soon as it has arrived in your download folder.</p>
<p>Questions? Use the support button to write to us.</p></main>
</body></html>)";

class MainWindowFlowTest : public test::MainWindowFixture {
protected:
    void SetUp() override
    {
        TVRN2_NEED_DISPLAY(GtkBackend::available());
        backend = std::make_unique<GtkBackend>();
        // Over the backend's own dialogs and boxes.
        installedDialogs.emplace(dialogs);
        installedBoxes.emplace(boxes);
        server.route("/tvrn2tavrin.htm", homePage);
        server.route("/typed.htm", "<html><head><title>Typed</title></head><body>typed</body></html>");
        settings.addresses.homePage = server.url("/tvrn2tavrin.htm");
        settings.addresses.installer = server.url(installerPath);
        // A short watch keeps the test quick; the program watches every ten seconds.
        settings.watchPeriod = 50;
    }
    // Serves `size` bytes as the installer "setup.exe" at `path`, and makes
    // them the target the watch checks; returns the bytes.
    std::string serveInstaller(const std::string& path, std::size_t size)
    {
        std::string body(size, '\0');
        generatedBytes(0, body.data(), body.size());
        server.route(path, test::HttpRoute { .contentType = "application/octet-stream", .body = body });
        settings.addresses.installer = server.url(path);
        settings.target
            = { "setup.exe", static_cast<std::int64_t>(body.size()), toUpperAscii(test::Md5::of(body)) };
        return body;
    }

    void TearDown() override
    {
        MainWindowFixture::TearDown();
        if (!backend)
            return;
        server.stop();
        installedBoxes.reset();
        installedDialogs.reset();
        backend.reset();
    }

    // Serves a generated file of `length` bytes under `path`, in pieces with
    // short pauses so the download can be seen running.
    void serveGenerated(const std::string& path, std::uint64_t length, std::size_t piece)
    {
        test::HttpRoute route;
        route.contentType = "application/octet-stream";
        route.generate = generatedBytes;
        route.generatedLength = length;
        route.chunkSize = piece;
        route.chunkPause = 20ms;
        server.route(path, std::move(route));
    }

    GtkWindowView& view() { return *GtkWindowView::of(window()); }
    GtkWidget* widget(int control) { return view().widget(control); }
    WebView* web() { return main->browser() ? main->browser()->webView() : nullptr; }
    bool showing(const std::string& address) { return web() && web()->uri() == address && !web()->loading(); }
    bool askedToSave()
    {
        auto* bar = web() ? web()->downloadBar() : nullptr;
        if (!bar || !bar->shown())
            return false;
        auto buttons = bar->buttons();
        return std::find(buttons.begin(), buttons.end(), DownloadBar::Button::Save) != buttons.end();
    }
    void pressSave() { web()->downloadBar()->press(DownloadBar::Button::Save); }
    // The bar is up and offers this button.
    bool offered(DownloadBar::Button button)
    {
        auto* bar = web() ? web()->downloadBar() : nullptr;
        if (!bar || !bar->shown())
            return false;
        auto buttons = bar->buttons();
        return std::find(buttons.begin(), buttons.end(), button) != buttons.end();
    }
    // The text the page shows; empty before it has a body.
    std::string pageText()
    {
        return web() ? web()->scripts().run("document.body ? document.body.innerText : ''").value.text() : "";
    }
    bool downloadsEmpty() { return fs::is_empty(downloads); }

    // With TVRN2_SCREENSHOTS naming a folder, the window is saved there as a picture.
    void screenshot(const std::string& name)
    {
        const char* folder = std::getenv("TVRN2_SCREENSHOTS");
        if (!folder || !*folder)
            return;
        std::string file = (fs::path(folder) / (name + ".png")).string();
        std::string error;
        EXPECT_TRUE(saveWindowPicture(GTK_WIDGET(view().toplevel()), file, &error)) << file << ": " << error;
    }

    // Lets the window paint for a few polls before the next step.
    std::function<bool()> settled(int polls = 8)
    {
        auto left = std::make_shared<int>(polls);
        return [left] { return --*left <= 0; };
    }

    void run(test::WindowScript& script)
    {
        script.start();
        main->Execute();
        EXPECT_TRUE(script.finished());
        EXPECT_TRUE(boxes.shown().empty()) << boxes.shown().front().text;
    }

    std::unique_ptr<GtkBackend> backend;
    test::ScopedEnv data { "XDG_DATA_HOME", (dir / "data").string() };
    test::ScopedEnv cache { "XDG_CACHE_HOME", (dir / "cache").string() };
    test::HttpTestServer server;
    ScriptedDialogs dialogs;
    ScriptedMessageBoxes boxes;
    std::optional<ScopedDialogs> installedDialogs;
    std::optional<ScopedMessageBoxes> installedBoxes;
};

TEST_F(MainWindowFlowTest, InstallerThatFailsItsDigestIsShownAndDeleted)
{
    const std::uint64_t size = FileVerification::installerSize;
    serveGenerated(installerPath, size, 4 << 20);
    const fs::path file = downloads / FileVerification::installerFileName;
    make();
    test::WindowScript script(window(), 20ms, 240s);
    script
        .step(
            // The title arrives after the load has finished, so wait for it too.
            "the home page", [&] { return showing(settings.addresses.homePage) && !web()->title().empty(); },
            [&] {
                EXPECT_EQ(screen(MainWindow::FEPATH), settings.addresses.homePage);
                EXPECT_EQ(text(MainWindow::VALIDSTRING), "** File Not Tested **");
                EXPECT_EQ(window().timer(), 0);
                EXPECT_NE(gtk_window_get_icon(view().toplevel()), nullptr);
                EXPECT_EQ(web()->title(), "Tavrin");
            })
        .step("the home page painted", settled(50), [&] { screenshot("main-window-start"); })
        .act("Enter in the address line",
            [&] {
                gtk_entry_set_text(GTK_ENTRY(widget(MainWindow::FEPATH)), server.url("/typed.htm").c_str());
                test::deliverKeyPress(widget(MainWindow::FEPATH), GDK_KEY_Return);
            })
        .step(
            "the typed page", [&] { return showing(server.url("/typed.htm")); },
            [&] {
                EXPECT_EQ(server.requests("/typed.htm"), 1);
                test::deliverClick(widget(MainWindow::OKBUTTON));
            })
        .step(
            "the save question", [&] { return askedToSave(); },
            [&] {
                EXPECT_EQ(text(MainWindow::VALIDSTRING), "*** Download in Progress ***");
                EXPECT_EQ(window().timer(), settings.watchPeriod);
                pressSave();
            })
        .step(
            "the download under way",
            [&] {
                std::error_code ignored;
                return fs::file_size(
                           downloads / (std::string(FileVerification::installerFileName) + ".wkdownload"),
                           ignored)
                    > 60'000'000;
            },
            [&] {
                EXPECT_EQ(text(MainWindow::VALIDSTRING), "*** Download in Progress ***");
                EXPECT_NE(window().timer(), 0);
                screenshot("main-window-downloading");
            })
        .step(
            "the verdict", [&] { return window().timer() == 0; },
            [&] {
                EXPECT_EQ(text(MainWindow::VALIDSTRING), "XP Service Pack 2 file is NOT valid!");
                EXPECT_EQ(screen(MainWindow::FILECHECKSUM), generatedMd5(size));
                EXPECT_EQ(screen(MainWindow::CSFILEPATH), file.string());
                EXPECT_FALSE(fs::exists(file));
                EXPECT_EQ(server.requests(installerPath), 1);
            })
        .step("the verdict painted", settled(), [&] { screenshot("main-window-not-valid"); });
    run(script);
}

TEST_F(MainWindowFlowTest, KeyboardStartsOnlyTheWatchAndAValidFileIsKept)
{
    const std::uint64_t size = (3 << 20) + 321;
    const std::string path = "/files/valid-setup.exe";
    serveGenerated(path, size, 256 << 10);
    settings.addresses.installer = server.url(path);
    settings.target
        = { "valid-setup.exe", static_cast<std::int64_t>(size), toUpperAscii(generatedMd5(size)) };
    const fs::path file = downloads / "valid-setup.exe";
    dialogs.cancelFile();
    make();
    test::WindowScript script(window(), 20ms, 120s);
    script
        .step(
            "the home page", [&] { return showing(settings.addresses.homePage); },
            [&] { test::deliverKeyPress(widget(MainWindow::OKBUTTON), GDK_KEY_space); })
        .step(
            "the watch started", [&] { return window().timer() != 0; },
            [&] { EXPECT_EQ(text(MainWindow::VALIDSTRING), "*** Download in Progress ***"); })
        .step("a while with the watch running", settled(25),
            [&] {
                // The keyboard fetched nothing.
                EXPECT_EQ(server.requests(path), 0);
                EXPECT_TRUE(showing(settings.addresses.homePage));
                EXPECT_EQ(window().timer(), settings.watchPeriod);
                test::deliverClick(widget(MainWindow::FEFILELOOKUP));
            })
        .step(
            "the cancelled viewer", [&] { return dialogs.fileRequests().size() == 1; },
            [&] {
                EXPECT_EQ(main->browser()->FE_PATH.clipped(), settings.addresses.homePage);
                EXPECT_EQ(screen(MainWindow::FEPATH), settings.addresses.homePage);
                test::deliverClick(widget(MainWindow::OKBUTTON));
            })
        .step(
            "the save question", [&] { return askedToSave(); }, [&] { pressSave(); })
        .step(
            "the verdict", [&] { return window().timer() == 0; },
            [&] {
                EXPECT_EQ(text(MainWindow::VALIDSTRING), "XP Service Pack 2 file is valid!");
                EXPECT_EQ(screen(MainWindow::FILECHECKSUM), generatedMd5(size));
                EXPECT_TRUE(fs::exists(file));
                EXPECT_EQ(fs::file_size(file), size);
            })
        .step("the verdict painted", settled(), [&] { screenshot("main-window-valid"); });
    run(script);
}

// The watch gives no verdict while the browser is still asking about or
// saving a file under the installer's name, and checks every download that
// completes there, button or not.
TEST_F(MainWindowFlowTest, VerdictsAreAboutTheBytesADownloadLeftUnderTheInstallersName)
{
    const std::string path = "/files/setup.exe";
    std::string valid(256 << 10, '\0');
    generatedBytes(0, valid.data(), valid.size());
    std::string wrong = valid;
    wrong[1000] = static_cast<char>(wrong[1000] ^ 0x5a);
    settings.addresses.installer = server.url(path);
    settings.target
        = { "setup.exe", static_cast<std::int64_t>(valid.size()), toUpperAscii(test::Md5::of(valid)) };
    // Ticks come every 100 ms: a question open for a moment spans several.
    settings.watchPeriod = 10;
    const fs::path file = downloads / "setup.exe";

    struct Case {
        const char* what;
        std::string old; // under the installer's name when the browser asks to save
        std::string served;
        bool holdTransfer; // the transfer stops half-way until the test lets it go on
        bool fromAddressLine; // typed in, the download button never pressed
        const char* verdict;
    };
    const Case cases[] = {
        { "a wrong file, the Replace question left open across ticks", wrong, valid, false, false,
            FileVerification::validText },
        { "a valid file replaced by wrong bytes, question and transfer across ticks", valid, wrong, true,
            false, FileVerification::notValidText },
        { "a download from the address line", wrong, valid, false, true, FileVerification::validText },
    };
    for (const Case& row : cases) {
        SCOPED_TRACE(row.what);
        fs::remove_all(downloads);
        fs::create_directories(downloads);
        test::HttpRoute route { .contentType = "application/octet-stream", .body = row.served };
        route.chunkSize = 16 << 10;
        if (row.holdTransfer)
            route.holdAfter = row.served.size() / 2;
        server.route(path, route);
        const int requestsBefore = server.requests(path);
        filePath = "";
        make();
        // A tick came, or one ended the watch with a verdict it should not give.
        auto ticked = [&] { return filePath.clipped() == file.string() || window().timer() == 0; };
        auto noVerdictYet = [&] {
            EXPECT_EQ(text(MainWindow::VALIDSTRING),
                row.fromAddressLine ? MainWindow::notTestedText : FileVerification::inProgressText);
            EXPECT_TRUE(screen(MainWindow::FILECHECKSUM).empty()) << screen(MainWindow::FILECHECKSUM);
        };
        test::WindowScript script(window(), 20ms, 60s);
        script.step(
            "the home page", [&] { return showing(settings.addresses.homePage); },
            [&] {
                if (!row.fromAddressLine) {
                    test::deliverClick(widget(MainWindow::OKBUTTON));
                    return;
                }
                gtk_entry_set_text(
                    GTK_ENTRY(widget(MainWindow::FEPATH)), settings.addresses.installer.c_str());
                test::deliverKeyPress(widget(MainWindow::FEPATH), GDK_KEY_Return);
            });
        script.step(
            "the save question", [&] { return askedToSave(); },
            [&] {
                std::ofstream(file, std::ios::binary) << row.old;
                pressSave();
            });
        script.step(
            "the replace question", [&] { return offered(DownloadBar::Button::Replace); },
            [&] { filePath = ""; });
        auto pressReplace = [&] { web()->downloadBar()->press(DownloadBar::Button::Replace); };
        if (row.fromAddressLine) {
            script.act("the question answered", [&] {
                noVerdictYet();
                EXPECT_EQ(window().timer(), 0);
                pressReplace();
            });
        } else {
            script.step("a tick", ticked, [&] { filePath = ""; });
            script.step("another tick", ticked, [&] {
                noVerdictYet();
                EXPECT_TRUE(test::TempDir::read(file) == row.old) << "the file was judged while asked about";
                EXPECT_EQ(window().timer(), settings.watchPeriod);
                pressReplace();
            });
        }
        if (row.holdTransfer) {
            script.step(
                "half the bytes saved",
                [&] {
                    std::error_code ignored;
                    return fs::file_size(fs::path(file.string() + ".wkdownload"), ignored)
                        >= row.served.size() / 2;
                },
                [&] { filePath = ""; });
            script.step("a tick while saving", ticked, [&] { filePath = ""; });
            script.step("another tick while saving", ticked, [&] {
                noVerdictYet();
                EXPECT_EQ(window().timer(), settings.watchPeriod);
                server.release(path);
            });
        }
        script.step(
            "the verdict",
            [&] { return text(MainWindow::VALIDSTRING) == row.verdict && window().timer() == 0; },
            [&] {
                EXPECT_EQ(screen(MainWindow::FILECHECKSUM), test::Md5::of(row.served));
                if (row.served == valid)
                    EXPECT_TRUE(test::TempDir::read(file) == valid) << "not the bytes served";
                else
                    EXPECT_FALSE(fs::exists(file));
                EXPECT_EQ(server.requests(path), requestsBefore + 1);
            });
        if (row.served != valid) {
            // The watch deleted what the bar said was saved.
            script.step("the bar says the file is gone",
                [&] { return web()->downloadBar()->text().find("is no longer there") != std::string::npos; });
        }
        run(script);
        main.reset();
    }
}

// The download directory as people write it: the browser saves where the
// watch looks, never below the working folder, and a folder it cannot use
// is said in the bar.
TEST_F(MainWindowFlowTest, ADownloadFolderWrittenAsPeopleWriteIt)
{
    const std::string body = serveInstaller("/files/setup.exe", 64 << 10);
    const fs::path home = dir / "home";
    const fs::path work = dir / "work";
    fs::create_directories(home);
    fs::create_directories(work);
    test::ScopedEnv homeVariable { "HOME", home.string() };
    struct WorkingFolder {
        fs::path before = fs::current_path();
        explicit WorkingFolder(const fs::path& folder) { fs::current_path(folder); }
        ~WorkingFolder() { fs::current_path(before); }
    } inWork(work);

    struct Case {
        const char* written;
        fs::path folder; // empty: no folder the browser can use
    };
    const Case cases[] = {
        { "~/Installers", home / "Installers" },
        { "dl", home / "dl" },
        { "~", home },
        { "", {} },
    };
    for (const Case& row : cases) {
        SCOPED_TRACE(row.written);
        HKEY key = 0;
        ASSERT_EQ(
            regCreateKeyEx(HKEY_CURRENT_USER, FileVerification::downloadKey, 0, KEY_WRITE, &key, nullptr),
            ERROR_SUCCESS);
        regSetValueEx(key, FileVerification::downloadValue, 1,
            reinterpret_cast<const std::uint8_t*>(row.written),
            static_cast<std::uint32_t>(std::strlen(row.written) + 1));
        regCloseKey(key);
        filePath = "";
        make();
        test::WindowScript script(window(), 20ms, 60s);
        script.step(
            "the home page", [&] { return showing(settings.addresses.homePage); },
            [&] { test::deliverClick(widget(MainWindow::OKBUTTON)); });
        if (row.folder.empty()) {
            script.step(
                "the bar says why", [&] { return offered(DownloadBar::Button::Close); },
                [&] {
                    EXPECT_EQ(web()->downloadBar()->text(),
                        "\u201csetup.exe\u201d could not be saved: no download folder is set");
                    EXPECT_EQ(web()->downloads().running(), 0U);
                });
        } else {
            script.step(
                "the save question", [&] { return askedToSave(); },
                [&] {
                    EXPECT_NE(web()->downloadBar()->text().find(" in " + row.folder.string() + "?"),
                        std::string::npos)
                        << web()->downloadBar()->text();
                    pressSave();
                });
            script.step(
                "the verdict", [&] { return window().timer() == 0; },
                [&] {
                    EXPECT_EQ(text(MainWindow::VALIDSTRING), FileVerification::validText);
                    EXPECT_TRUE(samePath(screen(MainWindow::CSFILEPATH), row.folder / "setup.exe"))
                        << screen(MainWindow::CSFILEPATH);
                    EXPECT_TRUE(test::TempDir::read(row.folder / "setup.exe") == body);
                });
        }
        run(script);
        main.reset();
        EXPECT_TRUE(fs::is_empty(work)) << "something was made below the working folder";
        fs::remove(row.folder / "setup.exe");
    }
}

// Paths past what ?CSFILEPATH holds: the window shows the first 255
// characters, the browser saves and the watch looks by the whole path.
TEST_F(MainWindowFlowTest, LongDownloadFoldersAreNeverCut)
{
    const std::string body = serveInstaller("/files/setup.exe", 64 << 10);

    // Folders of the given length in all, from names of at most 200 characters.
    auto folderOfLength = [&](std::size_t length) {
        fs::path folder = dir / "long";
        for (char c = 'a'; folder.string().size() < length; ++c) {
            const std::size_t left = length - folder.string().size() - 1;
            folder /= std::string(std::min<std::size_t>(left, 200), c);
        }
        return folder;
    };
    for (std::size_t length : { 240, 255, 267, 600 }) {
        const fs::path folder = folderOfLength(length);
        SCOPED_TRACE(folder.string().size());
        ASSERT_EQ(folder.string().size(), length);
        test::storeDownloadDirectory(folder);
        const fs::path file = folder / "setup.exe";
        filePath = "";
        make();
        test::WindowScript script(window(), 20ms, 60s);
        script.step(
            "the home page", [&] { return showing(settings.addresses.homePage); },
            [&] { test::deliverClick(widget(MainWindow::OKBUTTON)); });
        script.step(
            "the save question", [&] { return askedToSave(); }, [&] { pressSave(); });
        script.step(
            "the verdict", [&] { return window().timer() == 0; },
            [&] {
                EXPECT_EQ(text(MainWindow::VALIDSTRING), FileVerification::validText);
                EXPECT_TRUE(test::TempDir::read(file) == body);
                EXPECT_EQ(screen(MainWindow::CSFILEPATH), file.string().substr(0, 255));
            });
        run(script);
        main.reset();
        // Nothing beside the folder, as a cut path would have made.
        std::vector<fs::path> made;
        for (const auto& entry : fs::recursive_directory_iterator(dir / "long")) {
            if (entry.is_regular_file())
                made.push_back(entry.path());
        }
        EXPECT_EQ(made, std::vector<fs::path> { file });
        fs::remove_all(dir / "long");
    }
}

// Every message of the download bar fits the fixed-size window: long texts
// wrap or are cut short with the whole text in the tooltip, and every
// button stays inside.
TEST_F(MainWindowFlowTest, NoMessageOfTheDownloadBarWidensTheWindow)
{
    const std::string name = std::string(200, 'n') + ".exe";
    const fs::path folder = fs::path("/") / std::string(120, 'f') / std::string(140, 'g');
    const std::string reason = "Error opening file " + (folder / name).string() + ": Permission denied";
    const DownloadOffer offer { name, folder, "http://127.0.0.1/" + std::string(300, 'u'), 278927592 };
    const std::pair<const char*, std::function<void(DownloadBar&)>> messages[] = {
        { "save question", [&](DownloadBar& bar) { bar.askSave(offer, [](SaveAnswer) {}); } },
        { "replace question", [&](DownloadBar& bar) { bar.askReplace(offer, [](ReplaceAnswer) {}); } },
        { "progress",
            [&](DownloadBar& bar) {
                bar.showProgress({ name, 123456789, 278927592, 1e7 });
            } },
        { "saved", [&](DownloadBar& bar) { bar.showFinished(folder / name); } },
        { "failed", [&](DownloadBar& bar) { bar.showFailed(name, reason); } },
        { "refused",
            [&](DownloadBar& bar) {
                bar.askSave(offer, [](SaveAnswer) {});
                bar.showRefused(name);
            } },
    };
    make();
    GtkWidget* toplevel = nullptr;
    int width = 0;
    std::size_t next = 0;
    int polls = 0;
    test::WindowScript script(window(), 20ms, 60s);
    script.step(
        "the home page", [&] { return showing(settings.addresses.homePage); },
        [&] {
            toplevel = GTK_WIDGET(view().toplevel());
            width = gtk_widget_get_allocated_width(toplevel);
        });
    for (std::size_t n = 0; n < std::size(messages); ++n) {
        script.act(messages[n].first, [&, n] {
            web()->downloadBar()->dismiss();
            messages[n].second(*web()->downloadBar());
            next = n;
            polls = 0;
        });
        script.step(
            std::string(messages[n].first) + " laid out",
            [&] {
                GtkWidget* info = gtk_bin_get_child(GTK_BIN(web()->downloadBar()->widget()));
                return gtk_widget_get_mapped(info) && ++polls > 10;
            },
            [&] {
                SCOPED_TRACE(messages[next].first);
                EXPECT_EQ(gtk_widget_get_allocated_width(toplevel), width);
                GtkWidget* info = gtk_bin_get_child(GTK_BIN(web()->downloadBar()->widget()));
                GtkWidget* area = gtk_info_bar_get_action_area(GTK_INFO_BAR(info));
                GList* children = gtk_container_get_children(GTK_CONTAINER(area));
                for (GList* at = children; at; at = at->next) {
                    GtkWidget* button = GTK_WIDGET(at->data);
                    if (!gtk_widget_get_visible(button))
                        continue;
                    int x = 0;
                    int y = 0;
                    ASSERT_TRUE(gtk_widget_translate_coordinates(button, toplevel, 0, 0, &x, &y));
                    EXPECT_LE(x + gtk_widget_get_allocated_width(button), width)
                        << gtk_button_get_label(GTK_BUTTON(button));
                }
                g_list_free(children);
            });
    }
    run(script);
}

// Closing the window while a download is being saved asks first: kept, the
// download goes on; stopped, nothing of it is left.
TEST_F(MainWindowFlowTest, ClosingDuringADownloadAsksFirst)
{
    const std::string path = "/files/setup.exe";
    std::string body(256 << 10, '\0');
    generatedBytes(0, body.data(), body.size());
    server.route(path,
        test::HttpRoute {
            .contentType = "application/octet-stream", .body = body, .holdAfter = body.size() / 2 });
    settings.addresses.installer = server.url(path);
    const fs::path partial = downloads / "setup.exe.wkdownload";
    boxes.answer(2); // Keep Downloading
    boxes.answer(1); // Stop Download and Close
    make();
    test::WindowScript script(window(), 20ms, 60s);
    script
        .step(
            "the home page", [&] { return showing(settings.addresses.homePage); },
            [&] { test::deliverClick(widget(MainWindow::OKBUTTON)); })
        .step(
            "the save question", [&] { return askedToSave(); }, [&] { pressSave(); })
        .step(
            "half saved",
            [&] {
                std::error_code ignored;
                return fs::file_size(partial, ignored) >= body.size() / 2;
            },
            [&] { test::deliverClick(widget(MainWindow::CANCELBUTTON)); })
        .step(
            "the question answered: keep downloading", [&] { return boxes.shown().size() == 1; },
            [&] {
                EXPECT_EQ(boxes.shown()[0].text, MainWindow::closeQuestion);
                EXPECT_EQ(boxes.shown()[0].customButtons, MainWindow::closeButtons);
                EXPECT_TRUE(window().isOpen());
                EXPECT_EQ(web()->downloads().saving(), 1U);
                test::deliverClick(widget(MainWindow::CANCELBUTTON));
            })
        .closes("stop the download and close");
    script.start();
    main->Execute();
    EXPECT_TRUE(script.finished());
    EXPECT_EQ(boxes.shown().size(), 2U);
    main.reset();
    EXPECT_TRUE(test::runUntil([&] { return downloadsEmpty(); })) << "the stopped download left files behind";
    server.release(path);
}

// Real pointer input on an X server of the test's own: a double click is
// two real presses and releases, as the X server delivers them.
class MainWindowRealInputTest : public MainWindowFlowTest {
protected:
    void SetUp() override
    {
        ASSERT_TRUE(test::useOwnDisplay());
        pointer.emplace(); // on the display just named
        MainWindowFlowTest::SetUp();
    }

    // A real click in the middle of the control, through the X server.
    void realClick(int control, int times = 1)
    {
        GtkWidget* target = widget(control);
        GtkAllocation allocation;
        gtk_widget_get_allocation(target, &allocation);
        int x = 0;
        int y = 0;
        gdk_window_get_origin(gtk_widget_get_window(target), &x, &y);
        if (!gtk_widget_get_has_window(target)) {
            x += allocation.x;
            y += allocation.y;
        }
        for (int n = 0; n < times; ++n)
            pointer->clickAt(x + allocation.width / 2, y + allocation.height / 2);
    }

    DownloadController& transfers() { return web()->downloads(); }

    std::optional<test::ProgramWindows> pointer;
};

TEST_F(MainWindowRealInputTest, OneClickOneDownloadAndStopStopsIt)
{
    std::string body(512 << 10, '\0');
    generatedBytes(0, body.data(), body.size());
    settings.target
        = { "setup.exe", static_cast<std::int64_t>(body.size()), toUpperAscii(test::Md5::of(body)) };
    const fs::path file = downloads / "setup.exe";

    struct Case {
        const char* what;
        bool secondClickOnQuestion; // else the two clicks of a double click
        const char* path; // each its own: a transfer let go stays let go
    };
    const Case cases[] = {
        { "a double click", false, "/double/setup.exe" },
        { "a second click on the question", true, "/second/setup.exe" },
    };
    for (const Case& row : cases) {
        SCOPED_TRACE(row.what);
        const std::string path = row.path;
        settings.addresses.installer = server.url(path);
        fs::remove_all(downloads);
        fs::create_directories(downloads);
        server.route(path,
            test::HttpRoute {
                .contentType = "application/octet-stream", .body = body, .holdAfter = body.size() / 4 });
        make();
        test::WindowScript script(window(), 20ms, 60s);
        script.step(
            "the home page", [&] { return showing(settings.addresses.homePage); },
            [&] { realClick(MainWindow::OKBUTTON, row.secondClickOnQuestion ? 1 : 2); });
        script.step(
            "the save question", [&] { return askedToSave(); },
            [&] {
                if (row.secondClickOnQuestion)
                    realClick(MainWindow::OKBUTTON);
            });
        if (row.secondClickOnQuestion) {
            script.step(
                "the word about the second click", [&] { return !web()->downloadBar()->note().empty(); },
                [&] { EXPECT_TRUE(askedToSave()) << "the question stays"; });
        }
        script.act("Save", [&] {
            EXPECT_EQ(transfers().running(), 1U);
            pressSave();
        });
        script.step(
            "a quarter saved",
            [&] {
                std::error_code ignored;
                return offered(DownloadBar::Button::Stop)
                    && fs::file_size(fs::path(file.string() + ".wkdownload"), ignored) >= body.size() / 4;
            },
            [&] {
                EXPECT_EQ(transfers().running(), 1U);
                web()->downloadBar()->press(DownloadBar::Button::Stop);
            });
        script.step(
            "stopped", [&] { return transfers().running() == 0; },
            [&] {
                EXPECT_FALSE(web()->downloadBar()->shown());
                EXPECT_EQ(text(MainWindow::VALIDSTRING), FileVerification::inProgressText);
                test::deliverClick(widget(MainWindow::CANCELBUTTON));
            });
        script.closes("Cancel closes the window");
        run(script);
        EXPECT_TRUE(test::runUntil([&] { return downloadsEmpty(); }))
            << "a stopped download left files behind";
        server.release(path);
        main.reset();
    }
}

// Real Tab presses go through the window's controls by their numbers, from
// the first field the window opens on. The page is among them at its own
// number, with its link after it; Shift+Tab goes back the same way, and both
// wrap around.
TEST_F(MainWindowRealInputTest, TabFollowsTheControlNumbersBothWays)
{
    using W = MainWindow;
    const int page = W::FECONTROL;
    const int link = 100; // the page's link holds the focus
    server.route(
        "/linked.htm", R"(<html><body><p>Questions? <a id="link" href="/typed.htm">Write to us</a></p>
</body></html>)");
    settings.addresses.homePage = server.url("/linked.htm");
    const std::vector<int> forward { W::FEPATH, W::FEFILELOOKUP, page, link, W::TAVRINSUPPORTBTN, W::OKBUTTON,
        W::CSFILEPATH, W::CANCELBUTTON, W::LOOKUPFILE };
    const std::vector<int> backward { W::CANCELBUTTON, W::CSFILEPATH, W::OKBUTTON, W::TAVRINSUPPORTBTN, page,
        link, W::FEFILELOOKUP, W::FEPATH, W::LOOKUPFILE };
    make();
    auto focused = [&] {
        GtkWidget* focus = gtk_window_get_focus(view().toplevel());
        if (focus && web() && focus == GTK_WIDGET(web()->webKitView())) {
            std::string inPage = web()->scripts().run("document.activeElement.id").value.text();
            return inPage == "link" ? link : page;
        }
        for (int number : window().controls()) {
            if (focus && widget(number) == focus)
                return number;
        }
        return 0;
    };
    std::vector<int> reached;
    test::WindowScript script(window(), 20ms, 60s);
    script.step(
        "the home page", [&] { return showing(settings.addresses.homePage); },
        [&] {
            // Without a window manager the keyboard follows the pointer: onto a bare corner.
            GdkWindow* own = gtk_widget_get_window(GTK_WIDGET(view().toplevel()));
            int x = 0;
            int y = 0;
            gdk_window_get_origin(own, &x, &y);
            gdk_device_warp(gdk_seat_get_pointer(gdk_display_get_default_seat(gdk_window_get_display(own))),
                gdk_window_get_screen(own), x + 2, y + 2);
        });
    script.step(
        "the keyboard on the window", [&] { return gtk_window_has_toplevel_focus(view().toplevel()); },
        [&] { reached.push_back(focused()); });
    for (const auto* keys : { &forward, &backward }) {
        const bool back = keys == &backward;
        for (std::size_t i = 0; i < keys->size(); ++i) {
            script.act(back ? "Shift+Tab" : "Tab",
                [&, back] { pointer->pressKey(GDK_KEY_Tab, back ? GDK_KEY_Shift_L : 0); });
            script.step(
                "the focus moved", [&] { return focused() != reached.back(); },
                [&] {
                    reached.push_back(focused());
                    if (reached.back() != page && reached.back() != link) {
                        EXPECT_EQ(window().focus(), reached.back()) << "the window was told";
                    }
                });
        }
    }
    script.act("Cancel", [&] { test::deliverClick(widget(W::CANCELBUTTON)); });
    script.closes("Cancel closes the window");
    run(script);
    std::vector<int> expected { W::LOOKUPFILE };
    expected.insert(expected.end(), forward.begin(), forward.end());
    expected.insert(expected.end(), backward.begin(), backward.end());
    EXPECT_EQ(reached, expected);
}

TEST_F(MainWindowFlowTest, UnreachableHostsShowErrorPagesAndTheWindowKeepsWorking)
{
    settings.addresses.homePage = test::HttpTestServer::closedUrl("/tvrn2tavrin.htm");
    settings.addresses.installer = test::HttpTestServer::closedUrl(installerPath);
    const std::string expectedPath = (downloads / FileVerification::installerFileName).string();
    make();
    test::WindowScript script(window(), 20ms, 60s);
    script
        .step(
            "the home page's error page",
            [&] { return showing(settings.addresses.homePage) && !pageText().empty(); },
            [&] {
                EXPECT_THAT(pageText(), testing::HasSubstr("The connection was refused"));
                EXPECT_THAT(pageText(), testing::HasSubstr(settings.addresses.homePage));
                EXPECT_EQ(screen(MainWindow::FEPATH), settings.addresses.homePage);
                EXPECT_EQ(text(MainWindow::VALIDSTRING), "** File Not Tested **");
                EXPECT_EQ(window().timer(), 0);
            })
        .step("the error page painted", settled(25), [&] { screenshot("main-window-offline"); })
        .act("a click on the download button", [&] { test::deliverClick(widget(MainWindow::OKBUTTON)); })
        .step(
            "the installer's error page",
            [&] { return showing(settings.addresses.installer) && !pageText().empty(); },
            [&] {
                EXPECT_THAT(pageText(), testing::HasSubstr("The connection was refused"));
                EXPECT_FALSE(askedToSave());
                EXPECT_EQ(text(MainWindow::VALIDSTRING), "*** Download in Progress ***");
                EXPECT_EQ(window().timer(), settings.watchPeriod);
            })
        .step(
            "a tick of the watch", [&] { return filePath.clipped() == expectedPath; }, [&] { filePath = ""; })
        .step(
            "another tick of the watch", [&] { return filePath.clipped() == expectedPath; },
            [&] {
                // Still watching, and truly: nothing arrived and nothing was checked.
                EXPECT_EQ(text(MainWindow::VALIDSTRING), "*** Download in Progress ***");
                EXPECT_EQ(window().timer(), settings.watchPeriod);
                EXPECT_TRUE(downloadsEmpty());
                test::deliverClick(widget(MainWindow::CANCELBUTTON));
            })
        .closes("Cancel closes the window");
    run(script);
}

TEST_F(MainWindowFlowTest, HomePageThatNeverAnswersLeavesTheWindowWorking)
{
    // A host that takes the connection and then says nothing, as behind a
    // broken proxy: the page stays loading for as long as the test runs.
    server.route("/silent.htm", test::HttpRoute { .body = "late", .delay = 600s });
    settings.addresses.homePage = server.url("/silent.htm");
    make();
    test::WindowScript script(window(), 20ms, 60s);
    script
        .step(
            "the home page asked for",
            [&] { return server.requests("/silent.htm") == 1 && web()->loading(); },
            // The keyboard starts the watch and leaves the browser alone.
            [&] { test::deliverKeyPress(widget(MainWindow::OKBUTTON), GDK_KEY_space); })
        .step(
            "the watch started", [&] { return window().timer() != 0; },
            [&] {
                EXPECT_EQ(text(MainWindow::VALIDSTRING), "*** Download in Progress ***");
                EXPECT_EQ(window().timer(), settings.watchPeriod);
            })
        .step(
            "the first tick of the watch",
            [&] { return filePath.clipped() == (downloads / FileVerification::installerFileName).string(); },
            [&] {
                EXPECT_TRUE(web()->loading()); // still waiting for the home page
                test::deliverClick(widget(MainWindow::CANCELBUTTON));
            })
        .closes("Cancel closes the window");
    run(script);
}

TEST_F(MainWindowFlowTest, InstallerAddressThatAnswersNotFoundSavesNothing)
{
    struct Case {
        const char* what;
        const char* contentType;
    };
    const Case cases[] = {
        { "an HTML error page", "text/html; charset=utf-8" },
        // A body the browser cannot show would otherwise be taken for the download.
        { "an error body of the installer's type", "application/octet-stream" },
    };
    for (const Case& row : cases) {
        SCOPED_TRACE(row.what);
        server.route(installerPath,
            test::HttpRoute { .status = 404, .contentType = row.contentType, .body = "no such file here" });
        filePath = "";
        make();
        test::WindowScript script(window(), 20ms, 60s);
        script
            .step(
                "the home page", [&] { return showing(settings.addresses.homePage); },
                [&] { test::deliverClick(widget(MainWindow::OKBUTTON)); })
            .step("the installer address answered",
                [&] { return showing(settings.addresses.installer) || askedToSave(); })
            .step("a while for a download to start", settled(25),
                [&] {
                    EXPECT_FALSE(askedToSave());
                    EXPECT_TRUE(downloadsEmpty());
                    EXPECT_EQ(pageText(), "no such file here"); // the server's own answer
                    EXPECT_EQ(text(MainWindow::VALIDSTRING), "*** Download in Progress ***");
                    EXPECT_EQ(window().timer(), settings.watchPeriod);
                    test::deliverKeyPress(widget(MainWindow::CANCELBUTTON), GDK_KEY_space);
                })
            .closes("Cancel closes the window");
        run(script);
        main.reset();
    }
}

} // namespace
} // namespace tvrn2
