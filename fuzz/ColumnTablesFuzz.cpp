// The hyperlinks' column tables: linked list columns registered in any
// order, then moved by any pair of 64-slot tables (zeros, unknown and
// negative column numbers included). The links stay in column order and the
// answer is 0 or 2.
#include "fuzz/FuzzFields.h"
#include "hyperlink/HyperlinkManager.h"
#include "platform/Halt.h"
#include "platform/HeadlessEventLoop.h"
#include "platform/MessageBox.h"
#include "platform/Window.h"

#include <cstdlib>
#include <cstring>
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

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    if (size < 2)
        return 0;
    useEmptySettings();
    HeadlessEventLoop loop;
    ScopedEventLoop scopedLoop(loop);
    ScriptedMessageBoxes boxes;
    MessageBoxes* previous = setMessageBoxes(&boxes);
    HaltInterceptor halts;
    QuietDesktop desktop;
    Window window("Links", { 0, 0, 300, 200 });
    window.open();
    int list = window.add(ControlKind::List, "?LIST", "", { 10, 10, 200, 100 });
    std::vector<ListColumn> columns;
    std::size_t columnCount = 1 + data[0] % 8;
    for (std::size_t c = 0; c < columnCount; ++c)
        columns.push_back({ "C" + std::to_string(c + 1), 40, "40L(2)|M~C~", 0 });
    window.control(list)->setColumns(columns);
    {
        HyperlinkManager manager(window, desktop);
        manager.Init();
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
    }
    setMessageBoxes(previous);
    return 0;
}
