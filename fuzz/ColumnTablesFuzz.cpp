// The hyperlinks' column tables: linked list columns registered in any
// order, then moved by any pair of 64-slot tables (zeros, unknown and
// negative column numbers included). The links stay in column order and the
// answer is 0 or 2.
//
// The window, its list and the desktop's programs are set up once per
// process: looking the programs up (GIO) was nearly all of a run's time.
// Each input still starts from what a freshly built window and manager
// would show: the list gets its columns and default styles back, the
// manager is built afresh in place and given the programs found once, and
// both are checked against that state before the input runs.
#include "fuzz/FuzzFields.h"
#include "hyperlink/HyperlinkManager.h"
#include "platform/Halt.h"
#include "platform/HeadlessEventLoop.h"
#include "platform/MessageBox.h"
#include "platform/Window.h"

#include <cstdlib>
#include <cstring>
#include <optional>
#include <string>

using namespace tvrn2;

namespace {

// The desktop is never asked to open anything here.
class QuietDesktop final : public LinkDesktop {
public:
    std::optional<std::string> windowsDirectory() const override { return std::nullopt; }
    int open(std::string_view) const override { return 0; }
};

// A settings folder of its own, so the program look-ups read nothing of the host's.
void useEmptySettings()
{
    static bool done = [] {
        char folder[] = "/tmp/tvrn2-fuzz-XXXXXX";
        if (mkdtemp(folder))
            setenv("XDG_CONFIG_HOME", folder, 1);
        return true;
    }();
    (void)done;
}

HyperlinkManager::ColumnTable takeTable(const std::uint8_t*& data, std::size_t& size)
{
    HyperlinkManager::ColumnTable table {};
    for (auto& slot : table) {
        if (size == 0)
            break;
        // Mostly small numbers so that columns match, now and then anything.
        std::int8_t byte = static_cast<std::int8_t>(*data++);
        --size;
        slot = byte == -128 && size >= 4 ? [&] {
            std::int32_t any;
            std::memcpy(&any, data, 4);
            data += 4, size -= 4;
            return any;
        }()
                                         : byte % 8;
    }
    return table;
}

// Everything a run needs that costs more than the run: built on the first
// input and kept to the end of the process (never destroyed, so no other
// static's teardown depends on its order).
class Fixture {
public:
    Fixture()
    {
        window.open();
        list = window.add(ControlKind::List, "?LIST", "", { 10, 10, 200, 100 });
        looked.Init();
        reset({});
    }

    // Back to the state of a window and manager just built and initialised,
    // with the given columns on the list.
    HyperlinkManager& reset(std::vector<ListColumn> columns)
    {
        Control& c = *window.control(list);
        // The styles the last input's links gave the list (the only list
        // property besides its columns that the manager sets); back to unset.
        if (manager) {
            for (const auto& item : manager->ItemQ) {
                c.setListStyle(item.Style, {});
                c.setListStyle(item.Style + 1, {});
            }
        }
        c.setColumns(std::move(columns));
        boxes.clear();
        manager.emplace(window, desktop);
        // What Init looked up once: given to the fresh manager as Init would.
        manager->HyperBrowser = looked.HyperBrowser;
        manager->HyperEmail = looked.HyperEmail;
        manager->RegQueryHandle = looked.RegQueryHandle;
        manager->RegSubkeyName = looked.RegSubkeyName;
        manager->RegBufferSize = looked.RegBufferSize;
        manager->pszPath = looked.pszPath;
        manager->Inited = looked.Inited;
        checkFresh();
        return *manager;
    }

    ScriptedMessageBoxes boxes;
    ScopedMessageBoxes installedBoxes { boxes };
    int list { 0 };

private:
    // Nothing of an earlier input is left: the manager reads as the one
    // initialised once, and the window and list as just built.
    void checkFresh() const
    {
        const HyperlinkManager& m = *manager;
        FUZZ_CHECK(m.ItemQ.empty() && m.TrackerQ.empty());
        FUZZ_CHECK(m.HyperBrowser.raw() == looked.HyperBrowser.raw());
        FUZZ_CHECK(m.HyperEmail.raw() == looked.HyperEmail.raw());
        FUZZ_CHECK(m.HandCursor == looked.HandCursor);
        FUZZ_CHECK(m.ListURL.raw() == looked.ListURL.raw());
        FUZZ_CHECK(m.Inited == looked.Inited);
        FUZZ_CHECK(m.URLToRun.raw() == looked.URLToRun.raw());
        FUZZ_CHECK(m.OpenProgram.raw() == looked.OpenProgram.raw());
        FUZZ_CHECK(m.CheckURLs == looked.CheckURLs && m.EncodeEmails == looked.EncodeEmails);
        FUZZ_CHECK(m.LastFieldSelected == looked.LastFieldSelected);
        FUZZ_CHECK(m.HandCursorToUse.raw() == looked.HandCursorToUse.raw());
        FUZZ_CHECK(m.RegQueryHandle == looked.RegQueryHandle);
        FUZZ_CHECK(m.RegSubkeyName.raw() == looked.RegSubkeyName.raw());
        FUZZ_CHECK(m.RegBufferSize == looked.RegBufferSize);
        FUZZ_CHECK(m.pszPath.raw() == looked.pszPath.raw() && m.pszBuffer == looked.pszBuffer);
        FUZZ_CHECK(m.ModTempType == looked.ModTempType);

        FUZZ_CHECK(window.controls() == std::vector<int> { list });
        FUZZ_CHECK(window.focus() == 0 && window.pending() == 1); // the open event, never run
        const Control& c = *window.control(list);
        for (int style = 0; style < 64; ++style)
            FUZZ_CHECK(c.listStyle(style) == ListStyle {});
        for (const auto& column : c.columns())
            FUZZ_CHECK(column.style == 0);
        FUZZ_CHECK(c.rows().empty() && c.selectedRow() == 0);
        FUZZ_CHECK(c.fontColour() == ColourNone && c.fontStyle() == 0 && c.cursor().empty());
        FUZZ_CHECK(!c.hidden() && !c.disabled());
        FUZZ_CHECK(boxes.shown().empty());
    }

    bool settings = (useEmptySettings(), true);
    HeadlessEventLoop loop;
    ScopedEventLoop scopedLoop { loop };
    HaltInterceptor halts;
    QuietDesktop desktop;
    Window window { "Links", { 0, 0, 300, 200 }, loop };
    HyperlinkManager looked { window, desktop };
    std::optional<HyperlinkManager> manager;
};

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    if (size < 2)
        return 0;
    static Fixture& fixture = *new Fixture;
    ScriptedMessageBoxes& boxes = fixture.boxes;
    int list = fixture.list;
    std::vector<ListColumn> columns;
    std::size_t columnCount = 1 + data[0] % 8;
    for (std::size_t c = 0; c < columnCount; ++c)
        columns.push_back({ "C" + std::to_string(c + 1), 40, "40L(2)|M~C~", 0 });
    HyperlinkManager& manager = fixture.reset(std::move(columns));

    std::size_t links = data[1] % 10;
    data += 2, size -= 2;
    for (std::size_t n = 0; n < links && size > 0; ++n, ++data, --size)
        manager.AddItem(list, std::to_string(static_cast<std::int8_t>(*data) % 10), 0x0000FF, 0xFF0000);
    manager.SaveColumnFormats(list, size > 0 ? *data & 3 : 0);

    auto now = takeTable(data, size);
    auto before = takeTable(data, size);
    for (int round = 0; round < 2; ++round) {
        for (int n = 0; n < 4; ++n)
            boxes.answer(Button::Ignore);
        int moved = round == 0 ? manager.MoveColumns(list, now, before) : manager.MoveColumns(list);
        FUZZ_CHECK(moved == 0 || moved == 2);
        for (std::size_t i = 1; i < manager.ItemQ.size(); ++i) {
            const auto& a = manager.ItemQ[i - 1];
            const auto& b = manager.ItemQ[i];
            FUZZ_CHECK(a.Control < b.Control || (a.Control == b.Control && a.Column <= b.Column));
        }
    }
    return 0;
}
