#include "tests/browser_host/BrowserPageFixture.h"
#include "tests/browser_host/HeapMeter.h"

#include <vector>

namespace tvrn2 {
namespace {

using namespace std::chrono_literals;
using test::runUntil;

using ElementsTest = test::BrowserPageFixture<>;

// Values of the page's elements matching a selector, joined by "|".
std::string valuesScript(const std::string& selector)
{
    return "Array.from(document.querySelectorAll('" + selector + "')).map(e => e.value).join('|')";
}

TEST_F(ElementsTest, SetValueByNameFollowsTheDuplicateRuleAndIgnoresCaseAndTrailingBlanks)
{
    // Two inputs of one name (written in other case, with trailing blanks) and a
    // select of that name: a name match of any kind counts towards dupNumber.
    const std::string body = "<input name='EMAIL  ' value='a'><input name='email' value='b'>"
                             "<textarea name='Email'>c</textarea><input name='other' value='o'>";
    struct Case {
        std::int32_t dupNumber;
        std::string expected;
    };
    for (const Case& c :
        std::vector<Case> { { 0, "x|x|x|o" }, { 2, "a|x|c|o" }, { 3, "a|b|x|o" }, { 4, "a|b|c|o" } }) {
        ASSERT_TRUE(show("/dup", "Dup", body));
        browser.SetValueByName("Email", "x", 0, c.dupNumber);
        EXPECT_EQ(evaluate(valuesScript("input, textarea")), c.expected) << "dupNumber " << c.dupNumber;
    }

    // A blank value only reads; a blank name names nothing, not every unnamed field.
    ASSERT_TRUE(show("/blank", "Blank", "<input name='a' value='kept'><input value='unnamed'>"));
    browser.SetValueByName("a", "   ");
    browser.SetValueByName("", "written");
    EXPECT_EQ(evaluate(valuesScript("input")), "kept|unnamed");
}

TEST_F(ElementsTest, InputsAndListsHearTheChangeCheckBoxesAndTextAreasDoNot)
{
    const std::string count = " onchange='this.dataset.changes = (+this.dataset.changes || 0) + 1'"
                              " onblur='this.dataset.blurs = (+this.dataset.blurs || 0) + 1'";
    ASSERT_TRUE(show("/events", "Events",
        "<input name='text'" + count + "><input type='checkbox' name='box'" + count + "><select name='pick'"
            + count
            + "><option value='p1'>1</option><option value='p2'>2</option></select>"
              "<textarea name='area'"
            + count + "></textarea>"));
    auto counts = [&](const std::string& name) {
        return evaluate(
            "(e => (e.dataset.changes || 0) + '/' + (e.dataset.blurs || 0))(document.getElementsByName('"
            + name + "')[0])");
    };
    auto checked = [&] { return evaluate("String(document.getElementsByName('box')[0].checked)"); };

    browser.SetValueByName("text", "typed");
    browser.SetValueByName("pick", "p2");
    browser.SetValueByName("area", "long text");
    EXPECT_EQ(evaluate(valuesScript("input[name=text], select, textarea")), "typed|p2|long text");
    EXPECT_EQ(counts("text"), "1/1");
    EXPECT_EQ(counts("pick"), "1/1");
    EXPECT_EQ(counts("area"), "0/0");

    browser.SetValueByName("box", "1");
    EXPECT_EQ(checked(), "true");
    browser.SetValueByName("box", "0");
    EXPECT_EQ(checked(), "false");
    EXPECT_EQ(counts("box"), "0/0") << "ticking a box by name fires no change";

    EXPECT_EQ(browser.GetValueByName("pick"), "p2");
    EXPECT_EQ(browser.GETELEMENTQRESULT, "p2");
    EXPECT_EQ(browser.GetValueByName("TEXT"), "typed");
    EXPECT_EQ(browser.GetValueByName("nosuchname"), "No data to return");
    EXPECT_EQ(browser.GETELEMENTQRESULT, "typed") << "kept until the next match";
}

TEST_F(ElementsTest, ClickByNameClicksOnlyTheChosenButtonOnce)
{
    const std::string body
        = "<p id='log'></p>"
          "<input type='button' name='go' value='first' onclick=\"log.textContent += '1'\">"
          "<input type='button' name='GO' value='second' onclick=\"log.textContent += '2'\">";
    struct Case {
        std::int32_t dupNumber;
        std::string clicked;
    };
    for (const Case& c : std::vector<Case> { { 0, "1" }, { 1, "1" }, { 2, "2" }, { 3, "" } }) {
        ASSERT_TRUE(show("/buttons", "Buttons", body));
        EXPECT_EQ(browser.ClickByName("go", 0, c.dupNumber), 0);
        EXPECT_EQ(evaluate("log.textContent"), c.clicked) << "dupNumber " << c.dupNumber;
    }
}

TEST_F(ElementsTest, AllTagsWalkNumbersRowsInPassOrder)
{
    ASSERT_TRUE(show("/rows", "Rows",
        "<input name='i1' id='first' value='v1'><div id='d1'></div><input type='checkbox' name='c' checked>"
        "<div></div><input type='hidden' name='h' value='"
            + std::string(300, 'z') + "'>"));
    ElementQueue queue { ElementQueueRow {} };
    EXPECT_EQ(browser.GetElementQ("", "", "", "", &queue, 1, 0, 1, 0, 0), "No data to return");
    ASSERT_EQ(queue.size(), 6u) << "the caller's old rows are dropped";
    struct Row {
        std::int32_t id;
        std::string tag, name, type, elementId;
        std::uint8_t checked;
    };
    const std::vector<Row> expected { { 1, "BODY", "", "", "", 0 }, { 2, "DIV", "", "", "d1", 0 },
        { 3, "DIV", "", "", "", 0 }, { 4, "INPUT", "i1", "text", "first", 0 },
        { 5, "INPUT", "c", "checkbox", "", 1 }, { 6, "INPUT", "h", "hidden", "", 0 } };
    for (std::size_t i = 0; i < expected.size(); ++i) {
        SCOPED_TRACE("row " + std::to_string(i + 1));
        EXPECT_EQ(queue[i].RecordID, expected[i].id);
        EXPECT_EQ(queue[i].ElementTagName.clipped(), expected[i].tag);
        EXPECT_EQ(queue[i].ElementName.clipped(), expected[i].name);
        EXPECT_EQ(queue[i].ElementType.clipped(), expected[i].type);
        EXPECT_EQ(queue[i].ElementID.clipped(), expected[i].elementId);
        EXPECT_EQ(queue[i].CheckedStatus, expected[i].checked);
    }
    EXPECT_EQ(queue[3].ElementValue, "v1");
    EXPECT_EQ(queue[5].ElementValue.raw(), std::string(255, 'z')) << "values are cut to their field";

    // One tag only; a blank tag walks the body.
    EXPECT_EQ(browser.GetElementQ("div", "", "", "", &queue, 0, 0, 1, 0, 0), "No data to return");
    EXPECT_EQ(queue.size(), 2u);
    browser.GetElementQ("  ", "", "", "", &queue, 0, 0, 1, 0, 0);
    ASSERT_EQ(queue.size(), 1u);
    EXPECT_EQ(queue[0].ElementTagName, "BODY");
}

TEST_F(ElementsTest, TheWalkSeesWhatPageScriptsChangeAfterAWrite)
{
    // Writing the first field makes the page fill the second one.
    ASSERT_TRUE(show("/linked", "Linked",
        "<input name='from' onchange=\"document.getElementsByName('to')[0].value = this.value + '!'\">"
        "<input name='to' value='old'>"));
    ElementQueue queue;
    browser.GetElementQ("input", "from", "new", "", &queue, 0, 0, 0, 0, 0);
    ASSERT_EQ(queue.size(), 2u);
    EXPECT_EQ(queue[0].ElementValue, "new");
    EXPECT_EQ(queue[1].ElementValue, "new!");
}

TEST_F(ElementsTest, QueueRowsShowTheCheckedStateFromBeforeTheWalkActed)
{
    ASSERT_TRUE(show("/tick", "Tick",
        "<input type='checkbox' name='c' value='on'><input type='checkbox' name='d' checked>"));
    ElementQueue ticking, clearing;
    browser.GetElementQ("input", "c", "1", "", &ticking, 0, 0, 0, 0, 0);
    browser.GetElementQ("input", "d", "0", "", &clearing, 0, 0, 0, 0, 0);
    ASSERT_EQ(ticking.size(), 2u);
    ASSERT_EQ(clearing.size(), 2u);
    EXPECT_EQ(ticking[0].ElementType, "checkbox");
    EXPECT_EQ(ticking[0].CheckedStatus, 0) << "ticked by the walk, found clear";
    EXPECT_EQ(clearing[1].CheckedStatus, 1) << "cleared by the walk, found ticked";
    EXPECT_EQ(evaluate("[...document.querySelectorAll('input')].map(e => e.checked).join()"), "true,false");
}

TEST_F(ElementsTest, AFillByNameFollowsNamesThePageChangesAfterAWrite)
{
    // Writing the first field renames the second to the wanted name and the
    // third away from it. Without debugging the page describes only elements
    // that carry the name; at the highest level it describes all of them.
    const std::string body = "<input name='a' onchange=\"document.getElementsByName('b')[0].name = 'A ';"
                             " document.getElementById('late').name = 'x'\">"
                             "<input name='b'><input id='late' name='a'>";
    for (std::uint8_t level : { 0, 2 }) {
        ASSERT_TRUE(show("/renamed", "Renamed", body));
        test::CapturedDebugOutput trace;
        browser.DEBUGGING = level;
        browser.SetValueByName("a", "v");
        browser.DEBUGGING = 0;
        EXPECT_EQ(evaluate(valuesScript("input")), "v|v|") << "debugging " << int(level);
        EXPECT_EQ(
            evaluate("Array.from(document.querySelectorAll('input')).map(e => e.name).join('|')"), "a|A |x");
    }
}

TEST_F(ElementsTest, FillsOfAPageThatStaysTheSameStillSeeEachChange)
{
    // After fills that left the page as they found it, a fill looks the name's
    // elements up; elements added, renamed or taken away between fills, and
    // names a fill's own write changes, count as in a walk of the page.
    ASSERT_TRUE(show("/kept", "Kept",
        "<input name='w'><input id='n1' name='n1'><input id='n2' name='w'>"
        "<input name='a' onchange=\"document.getElementsByName('b')[0].name = 'A ';"
        " document.getElementById('late').name = 'x'\"><input name='b'><input id='late' name='a'>"));
    const std::string inputs = valuesScript("input, textarea");
    for (const char* value : { "1", "2", "3" })
        browser.SetValueByName("w", value);
    EXPECT_EQ(evaluate(inputs), "3||3|||");

    evaluate("document.getElementById('n1').name = 'W '; document.getElementById('n2').remove();"
             " document.body.insertAdjacentHTML('afterbegin', \"<textarea name='w'></textarea>\"); ''");
    browser.SetValueByName("w", "x");
    EXPECT_EQ(evaluate(inputs), "x|x|x|||");
    browser.SetValueByName("w", "y", 0, 3);
    EXPECT_EQ(evaluate(inputs), "y|x|x|||") << "inputs come before text areas";

    browser.SetValueByName("w", "z");
    browser.SetValueByName("a", "v");
    EXPECT_EQ(evaluate(inputs), "z|z|z|v|v|");
}

TEST_F(ElementsTest, AFillByNameMatchesNamesAsTheWalkComparesThem)
{
    // Without debugging the page makes the choices of a fill by name itself;
    // at the highest level the host walks every element and makes them. Both
    // compare names as the host keeps them: cut to 255 bytes of UTF-8 before
    // a character that does not fit, without trailing blanks, ASCII letters
    // folded and no others. The page makes its elements, so that names can
    // hold what markup cannot.
    const std::string body
        = "<script>"
          "for (const name of ['plain', 'PLAIN  ', 'plain\\t', '\\u00c9',"
          " 'a'.repeat(254) + '\\u00e9', 'a'.repeat(253) + '\\u00e9',"
          " 'x' + ' '.repeat(300) + 'y', 'q\\ud800', 'r\\x1es', '\\u{1d49c}'.repeat(64)]) {"
          "  const e = document.createElement('input'); e.name = name; document.body.append(e); }"
          "</script>";
    const std::string scriptCapitalA = "\xf0\x9d\x92\x9c"; // U+1D49C, four bytes of UTF-8
    std::string sixtyThree; // 252 bytes: the 64th no longer fits
    for (int i = 0; i < 63; ++i)
        sixtyThree += scriptCapitalA;
    struct Case {
        std::string name;
        std::string written; // the inputs that took the value, by place
    };
    const std::vector<Case> cases { { "plain", "0,1" }, { "Plain ", "0,1" }, { "plain\t", "2" },
        { "\xc3\xa9", "" }, { "\xc3\x89", "3" }, { std::string(254, 'a'), "4" },
        { std::string(253, 'a') + "\xc3\xa9", "5" }, { "x", "6" }, { "q\xef\xbf\xbd", "7" }, { "r s", "8" },
        { sixtyThree, "9" } };
    const std::string written = "Array.from(document.getElementsByTagName('input'))"
                                ".flatMap((e, i) => e.value ? [i] : []).join(',')";
    for (const Case& c : cases) {
        for (std::uint8_t level : { 0, 2 }) {
            ASSERT_TRUE(show("/names", "Names", body));
            test::CapturedDebugOutput trace;
            browser.DEBUGGING = level;
            browser.SetValueByName(c.name, "v");
            browser.DEBUGGING = 0;
            EXPECT_EQ(evaluate(written), c.written)
                << "name " << c.name.substr(0, 20) << ", debugging " << int(level);
        }
    }
}

TEST_F(ElementsTest, ClickByRecordIdClicksThatElementOnce)
{
    ASSERT_TRUE(show("/record", "Record",
        "<div id='d' onclick=\"this.textContent += 'c'\"></div><input type='checkbox' name='3'>"));
    // Rows: 1 body, 2 div, 3 input. The box is named like the record number and
    // must be clicked by its place, not written to by its name.
    browser.ClickByRecordID(3);
    EXPECT_EQ(evaluate("String(document.getElementsByName('3')[0].checked)"), "true")
        << "one click ticks the box; two would leave it clear";
    EXPECT_EQ(evaluate("document.getElementsByName('3')[0].value"), "on");
    browser.ClickByRecordID(2);
    EXPECT_EQ(evaluate("document.getElementById('d').textContent"), "c");
    browser.ClickByRecordID(0);
    browser.ClickByRecordID(99);
    EXPECT_EQ(evaluate("document.getElementById('d').textContent"), "c");
}

TEST_F(ElementsTest, SubmitFormReachesTheServerForOneFormOrAll)
{
    server.route("/got-a", test::htmlPage("A", "a"));
    server.route("/got-b", test::htmlPage("B", "b"));
    server.route("/marker", test::htmlPage("M", "m"));
    const std::string body
        = "<form name='A' action='/got-a' target='fa'><input name='q' value='1'></form>"
          "<form name='b' action='/got-b' target='fb'><input name='q' value='2'></form>"
          "<iframe name='fa'></iframe><iframe name='fb'></iframe><iframe name='fm'></iframe>";
    ASSERT_TRUE(show("/forms", "Forms", body));
    // Every navigation the view is asked to follow, in the order the page
    // scheduled them.
    std::vector<std::string> navigations;
    browser.webView()->onNavigationRequest = [&](const std::string& uri, bool) {
        navigations.push_back(uri.substr(uri.rfind('/')));
        return true;
    };
    browser.SubmitForm("a ", 0);
    // A navigation the page schedules afterwards is the marker: a second
    // submission would have asked before it.
    evaluate("frames['fm'].location.href = '/marker'");
    ASSERT_TRUE(runUntil([&] { return server.requests("/marker") == 1; }));
    EXPECT_EQ(navigations, (std::vector<std::string> { "/got-a?q=1", "/marker" }));
    ASSERT_TRUE(runUntil([&] { return server.requests("/got-a?q=1") == 1; }));
    EXPECT_EQ(server.requests("/got-b?q=2"), 0);
    browser.webView()->onNavigationRequest = nullptr;

    ASSERT_TRUE(show("/forms", "Forms", body));
    browser.SubmitForm("ignored", 1);
    ASSERT_TRUE(
        runUntil([&] { return server.requests("/got-a?q=1") == 2 && server.requests("/got-b?q=2") == 1; }));
}

TEST_F(ElementsTest, FramesAreWalkedByNumber)
{
    server.route("/inner", test::htmlPage("Inner", "<input name='f' value='in frame'>"));
    ASSERT_TRUE(show("/outer", "Outer",
        "<input name='f' value='on page'><iframe name='one' src='/inner'></iframe>"
        "<iframe name='two' src='about:blank'></iframe>"));
    ASSERT_TRUE(runUntil([&] {
        return evaluate("(f => f && f.document.readyState === 'complete' && f.document.title)(frames[0])")
            == "Inner";
    }));
    EXPECT_EQ(browser.FrameCount(), 2);
    EXPECT_EQ(browser.FrameName(1), "one");
    EXPECT_EQ(browser.FrameName(2), "two");
    EXPECT_EQ(browser.FrameName(3), "");

    EXPECT_EQ(browser.GetValueByName("f", 1), "in frame");
    browser.SetValueByName("f", "changed", 1);
    EXPECT_EQ(browser.GetValueByName("f", 1), "changed");
    EXPECT_EQ(browser.GetValueByName("f", 0), "on page");
    EXPECT_EQ(browser.TEMPDISPOBJECTHOLDER, 0) << "the frame's document is let go after the call";

    ElementQueue queue { ElementQueueRow {} };
    EXPECT_EQ(browser.GetElementQ("input", "f", "", "", &queue, 0, 3, 1, 1, 0), "No data to return");
    EXPECT_TRUE(queue.empty()) << "a frame past the last walks nothing";
}

TEST_F(ElementsTest, InputsById)
{
    ASSERT_TRUE(show("/ids", "Ids", "<input id='n' value='start'><div id='d'></div>"));
    EXPECT_EQ(browser.GetValueByID("n"), "start");
    browser.SetValueByID("n", "set");
    EXPECT_EQ(browser.GetValueByID("n"), "set");
    browser.SetValueByID("n", "  ");
    EXPECT_EQ(browser.GetValueByID("n"), "set");
    EXPECT_EQ(browser.GetValueByID("d"), "") << "not an input";
    EXPECT_EQ(browser.GetValueByID("missing"), "");
}

TEST_F(ElementsTest, AHundredThousandElementsAreWalkedWithinTheCutsInBoundedMemory)
{
    // The page makes its elements itself, so the loopback answer stays small:
    // 49,999 divs, then 50,000 inputs with names and values longer than their
    // fields, the last one named "wanted"; with the body 100,000 walked elements.
    // Hidden inputs, so that the page is quick to lay out on a loaded machine.
    const std::string body
        = "<script>"
          "const frag = document.createDocumentFragment();"
          "for (let i = 0; i < 49999; ++i) {"
          "  const d = document.createElement('div'); d.id = 'd' + i; frag.append(d); }"
          "const name = 'n'.repeat(150), value = 'v'.repeat(300);"
          "for (let i = 0; i < 49999; ++i) {"
          "  const e = document.createElement('input'); e.type = 'hidden';"
          "  e.name = name; e.value = value;"
          "  frag.append(e); }"
          "const w = document.createElement('input'); w.type = 'hidden'; w.name = 'wanted';"
          "w.value = 'w'.repeat(300); frag.append(w);"
          "document.body.append(frag);"
          "</script>";
    ASSERT_TRUE(show("/large", "Large", body));
    ASSERT_EQ(evaluate("String(document.querySelectorAll('body, div, input').length)"), "100000");

    ElementQueue queue;
    browser.GetElementQ("input", "", "", "", &queue, 0, 0, 1, 0, 0);
    ASSERT_EQ(queue.size(), 50000u);
    std::size_t wrongRows = 0;
    for (std::size_t i = 0; i + 1 < queue.size(); ++i) {
        const ElementQueueRow& row = queue[i];
        if (row.RecordID != static_cast<std::int32_t>(i + 1) || row.ElementName.raw() != std::string(100, 'n')
            || row.ElementValue.raw() != std::string(255, 'v') || row.ElementTagName != "INPUT")
            ++wrongRows;
    }
    EXPECT_EQ(wrongRows, 0u) << "every row in walk order, names and values cut to their fields";
    EXPECT_EQ(queue.back().RecordID, 50000);
    EXPECT_EQ(queue.back().ElementName, "wanted");

    // The page comes in parts; a write early in the walk brings back a part
    // from the written element on, and the walk goes on to the end from there.
    browser.GetElementQ("input", std::string(150, 'n'), "first", "1", &queue, 0, 0, 0, 0, 0);
    ASSERT_EQ(queue.size(), 50000u);
    EXPECT_EQ(queue[0].ElementValue, "first");
    EXPECT_EQ(queue[1].ElementValue.raw(), std::string(255, 'v'));
    EXPECT_EQ(queue.back().RecordID, 50000);
    EXPECT_EQ(queue.back().ElementName, "wanted");
    ElementQueue().swap(queue);

    // Without a queue the walk over all eight tags holds no more memory on a
    // large page than on a small one: the last element is reached all the same.
    {
        test::HeapMeter meter;
        EXPECT_EQ(browser.GetValueByName("wanted"), std::string(255, 'w'));
        EXPECT_LT(meter.peakGrowth(), 4u << 20);
    }
    browser.SetValueByName("wanted", "written");
    EXPECT_EQ(evaluate("document.getElementsByName('wanted')[0].value"), "written");
    EXPECT_EQ(evaluate("document.getElementsByTagName('input')[1].value"), std::string(300, 'v'));
}

TEST(ElementsWithoutControl, EveryOperationDoesNothing)
{
    FeBrowser browser;
    ElementQueue queue { ElementQueueRow {} };
    EXPECT_EQ(browser.GetElementQ("", "a", "b", "", &queue, 1, 0, 0, 0, 0), "No data to return");
    EXPECT_TRUE(queue.empty());
    EXPECT_EQ(browser.GetValueByName("a"), "No data to return");
    EXPECT_EQ(browser.GetValueByID("a"), "");
    EXPECT_EQ(browser.FrameCount(), 0);
    EXPECT_EQ(browser.FrameName(1), "");
}

TEST_F(ElementsTest, ClickByNameWritesNoValueIntoAListOrTextAreaOfTheButtonsName)
{
    // A list and a text area share the button's name: the click is for the
    // button alone, and the text that asks for it is nobody's value.
    ASSERT_TRUE(show("/shared", "Shared",
        "<p id='log'></p>"
        "<select name='go' onchange=\"log.textContent += 'c'\">"
        "<option value='s1'>1</option><option value='s2' selected>2</option></select>"
        "<textarea name='go'>kept</textarea>"
        "<input type='button' name='go' value='press' onclick=\"log.textContent += 'b'\">"));
    EXPECT_EQ(browser.ClickByName("go", 0, 0), 0);
    EXPECT_EQ(evaluate("log.textContent"), "b");
    EXPECT_EQ(evaluate(valuesScript("select, textarea")), "s2|kept");
}

TEST_F(ElementsTest, TheDuplicateCountGoesOnPastWhatOneByteHolds)
{
    // Three hundred fields of one name: the n-th match is the n-th field
    // only, also once more than 256 matches have been counted.
    std::string body;
    for (int i = 0; i < 300; ++i)
        body += "<input name='n'>";
    const std::string written = "Array.from(document.getElementsByName('n'))"
                                ".flatMap((e, i) => e.value ? [i + 1] : []).join(',')";
    struct Case {
        std::int32_t dupNumber;
        std::string written;
    };
    for (const Case& c : std::vector<Case> { { 1, "1" }, { 255, "255" } }) {
        ASSERT_TRUE(show("/many", "Many", body));
        browser.SetValueByName("n", "x", 0, c.dupNumber);
        EXPECT_EQ(evaluate(written), c.written) << "dupNumber " << c.dupNumber;
    }
}

} // namespace
} // namespace tvrn2
