#include "browser_host/HtmlGraphicsScan.h"

#include "browser_host/FeBrowser.h"
#include "tests/browser_host/HeapMeter.h"

#include <cstring>
#include <gtest/gtest.h>
#include <string>
#include <vector>

namespace tvrn2 {
namespace {

HtmlGraphicsScan scanFrom(const std::string& pageFolder, int* folderAsked = nullptr)
{
    HtmlGraphicsScan scan;
    scan.rootFolder = "/root/dir";
    scan.pageFolder = [pageFolder, folderAsked] {
        if (folderAsked)
            ++*folderAsked;
        return pageFolder;
    };
    return scan;
}

TEST(HtmlGraphicsScan, ListsEachPictureOnceAndRewritesEveryReference)
{
    struct Case {
        const char* name;
        std::string page;
        std::string list;
        std::string source;
    };
    const std::vector<Case> cases {
        { "relative and absolute, as a page from a local file",
            R"(<body background="/w/b.jpg"><IMG SRC="pics/a.gif"> text)", "/w/b.jpg,/site/pics/a.gif",
            R"(<body background="cid:b.jpg"><IMG SRC="cid:a.gif"> text)" },
        { "the same path twice, written alike or not",
            R"(<img src="/w/a.gif"><img src="/w/a.gif"><img src="a.gif"><img src=" a.gif">)",
            "/w/a.gif,/site/a.gif",
            R"(<img src="cid:a.gif"><img src="cid:a.gif"><img src="cid:a.gif"><img src="cid: a.gif">)" },
        { "a name inside another listed name is still listed", R"(<img src="/x/ba.gif"><img src="/x/a.gif">)",
            "/x/ba.gif,/x/a.gif", R"(<img src="cid:ba.gif"><img src="cid:a.gif">)" },
        { "image inputs and addresses", R"(<input type=image src="http://h/p/i.png"><p>)", "http://h/p/i.png",
            R"(<input type=image src="cid:i.png"><p>)" },
        { "values not in double quotes stay as they are",
            R"(<img src='a.gif'><img src=b.gif><img src="c.gif>)", "",
            R"(<img src='a.gif'><img src=b.gif><img src="c.gif>)" },
        { "other tags are passed over", R"(<a href="x.gif"><script src="s.js"></script>)", "",
            R"(<a href="x.gif"><script src="s.js"></script>)" },
        { "a relative reference ending in a separator", R"(<img src="pics/"> after)", "/site/pics/",
            R"(<img src="cid:"> after)" },
        { "a separator only at the start keeps the whole value", R"(<img src="/a.gif">)", "/a.gif",
            R"(<img src="cid:/a.gif">)" },
        { "no pictures", "<p>plain</p>", "", "<p>plain</p>" },
        { "a tag that becomes a picture tag after a \">\" inside it", R"(<img alt=">" src="a.gif">)",
            "/site/a.gif", R"(<img alt=">" src="cid:a.gif">)" },
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        HtmlGraphicsScan::Result result = scanFrom("/site").run(c.page);
        EXPECT_EQ(result.list, c.list);
        EXPECT_EQ(result.source, c.source);
    }
}

TEST(HtmlGraphicsScan, RelativePathsOfAPageWithoutLocalFolderGoUnderTheRootFolder)
{
    int asked = 0;
    HtmlGraphicsScan::Result result
        = scanFrom("", &asked).run(R"(<img src="a.gif"><img src="b/c.gif"><img src="d:\x.gif">)");
    EXPECT_EQ(result.list, "/root/dir/a.gif,/root/dir/b/c.gif,d:\\x.gif");
    EXPECT_EQ(result.source, R"(<img src="cid:a.gif"><img src="cid:c.gif"><img src="cid:x.gif">)");
    EXPECT_EQ(asked, 1) << "the page's folder is asked once, when first needed";

    asked = 0;
    scanFrom("", &asked).run(R"(<img src="/abs.gif">)");
    EXPECT_EQ(asked, 0);
}

TEST(HtmlGraphicsScan, FixedBuffersCutWithoutOverflow)
{
    // A tag longer than the tag buffer loses its closing quote: left unchanged.
    std::string longTag = "<img src=\"" + std::string(HtmlGraphicsScan::tagCapacity, 'n') + ".gif\">";
    HtmlGraphicsScan::Result result = scanFrom("/site").run(longTag);
    EXPECT_EQ(result.list, "");
    EXPECT_EQ(result.source, longTag);

    // More pictures than the list holds: the list stops at its size, the page is still rewritten.
    std::string page;
    for (int i = 0; i < 1000; ++i)
        page += "<img src=\"/pictures/number" + std::to_string(i) + ".gif\">";
    result = scanFrom("/site").run(page);
    EXPECT_EQ(result.list.size(), HtmlGraphicsScan::listCapacity);
    EXPECT_TRUE(result.list.starts_with("/pictures/number0.gif,/pictures/number1.gif,"));
    EXPECT_NE(result.source.find("<img src=\"cid:number999.gif\">"), std::string::npos);

    // A page larger than the output is cut at it.
    std::string big = "<img src=\"/p/a.gif\">" + std::string(2 * HtmlGraphicsScan::sourceCapacity, 'x');
    result = scanFrom("/site").run(big);
    EXPECT_EQ(result.source.size(), HtmlGraphicsScan::sourceCapacity);
    EXPECT_TRUE(result.source.starts_with("<img src=\"cid:a.gif\">xxx"));
}

TEST(HtmlGraphicsScan, TenMegabytePagesKeepToTheCutsInBoundedMemory)
{
    constexpr std::size_t tenMegabytes = 10 << 20;
    // Distinct pictures all the way, through the buffer form of the browser
    // object: far more than the list holds, and a page a hundred times the output.
    std::string page;
    page.reserve(tenMegabytes + 64);
    for (int i = 0; page.size() < tenMegabytes; ++i)
        page += "<img src=\"/p/" + std::to_string(i) + ".gif\">";
    std::vector<char> buffer(page.begin(), page.end());
    buffer.push_back('\0');
    FeBrowser browser;
    browser.ROOTFOLDER = "/root";
    {
        test::HeapMeter meter;
        browser.GetHtmlGraphicsInfo(buffer.data(), static_cast<std::int32_t>(buffer.size()));
        EXPECT_LT(meter.peakGrowth(), 1u << 20) << "memory follows the cuts, not the page";
    }
    EXPECT_EQ(browser.GRAPHICSLIST.raw().size(), HtmlGraphicsScan::listCapacity);
    EXPECT_TRUE(browser.GRAPHICSLIST.raw().starts_with("/p/0.gif,/p/1.gif,/p/2.gif,"));
    EXPECT_EQ(browser.SOURCE.raw().size(), HtmlGraphicsScan::sourceCapacity - 1);
    EXPECT_TRUE(browser.SOURCE.raw().starts_with(R"(<img src="cid:0.gif"><img src="cid:1.gif">)"));
    EXPECT_STREQ(buffer.data(), "\">") << "the buffer is consumed up to the last reference";

    // One "<" and ten megabytes of ">": the tag is looked at up to its cut and
    // stays a plain tag, however many ">" would end it.
    std::string hostile = "<body" + std::string(tenMegabytes, '>');
    HtmlGraphicsScan::Result result;
    {
        test::HeapMeter meter;
        result = scanFrom("/site").run(hostile);
        EXPECT_LT(meter.peakGrowth(), 1u << 20);
    }
    EXPECT_EQ(result.list, "");
    EXPECT_EQ(result.source, hostile.substr(0, HtmlGraphicsScan::sourceCapacity));
    EXPECT_EQ(result.consumed, 0u);
}

TEST(HtmlGraphicsScan, TracesTheListAsItGrows)
{
    HtmlGraphicsScan scan = scanFrom("");
    std::vector<std::string> lines;
    scan.trace = [&](std::string_view line) { lines.emplace_back(line); };
    scan.run(R"(<img src="a.gif"><img src="/b.gif">)");
    const std::vector<std::string> expected { "GetHtmlGraphicsInfo - Check Point 1 - a.gif",
        "GetHtmlGraphicsInfo - Check Point 1.2", "GetHtmlGraphicsInfo - Check Point 1.3 - a.gif",
        "GetHtmlGraphicsInfo - Check Point 1.5 - /root/dir/a.gif",
        "GetHtmlGraphicsInfo - Check Point 1 - /b.gif",
        "GetHtmlGraphicsInfo - Check Point 1.6 - /root/dir/a.gif,/b.gif" };
    EXPECT_EQ(lines, expected);
}

} // namespace
} // namespace tvrn2
