// The graphics scan of page text: its list and output keep to their sizes,
// and the output is the page with exactly the picture references rewritten,
// as a plain rescan of every tag finds them.
#include "browser_host/HtmlGraphicsScan.h"
#include "fuzz/FuzzFields.h"

#include <algorithm>
#include <string>

using namespace tvrn2;

namespace {

std::string lower(std::string_view text)
{
    std::string folded(text);
    for (char& c : folded)
        c = static_cast<char>(c >= 'A' && c <= 'Z' ? c + 32 : c);
    return folded;
}

// The output the scan must give, found the slow way: every tag searched
// afresh at each ">".
std::string expectedSource(std::string_view page)
{
    const std::string foldedPage = lower(page);
    std::string source;
    std::size_t copied = 0;
    constexpr std::size_t none = std::string_view::npos;
    std::size_t tagStart = none;
    for (std::size_t i = 0; i < page.size(); ++i) {
        if (page[i] == '<')
            tagStart = i;
        if (page[i] != '>' || tagStart == none)
            continue;
        std::string_view tag = page.substr(tagStart, std::min<std::size_t>(i - tagStart + 1, 5000));
        std::string_view folded = std::string_view(foldedPage).substr(tagStart, tag.size());
        auto has = [&](const char* word) { return folded.find(word) != std::string::npos; };
        const char* attribute = has("img") && has("src") ? "src"
            : has("body") && has("background")           ? "background"
            : has("input type=image") && has("src")      ? "src"
                                                         : nullptr;
        if (!attribute)
            continue;
        std::size_t start = tagStart;
        tagStart = none;
        auto open = tag.find('"', folded.find(attribute));
        auto close = open == std::string_view::npos ? open : tag.find('"', open + 1);
        if (close == std::string_view::npos)
            continue;
        std::string_view value = tag.substr(open + 1, close - open - 1);
        auto last = value.find_last_of("\\/");
        std::string_view name = last == std::string_view::npos || last == 0 ? value : value.substr(last + 1);
        source.append(page.substr(copied, start + open + 1 - copied)).append("cid:").append(name);
        copied = start + close;
    }
    return source.append(page.substr(copied));
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    auto fields = fuzz::splitFields(data, size, 3);
    HtmlGraphicsScan scan;
    scan.rootFolder = fields[0];
    std::string pageFolder(fields[1]);
    scan.pageFolder = [&] { return pageFolder; };
    std::size_t traced = 0;
    scan.trace = [&](std::string_view line) {
        FUZZ_CHECK(line.starts_with("GetHtmlGraphicsInfo - Check Point "));
        ++traced;
    };
    std::string_view page = fields[2];

    HtmlGraphicsScan::Result result = scan.run(page);
    FUZZ_CHECK(result.list.size() <= HtmlGraphicsScan::listCapacity);
    FUZZ_CHECK(result.source.size() <= HtmlGraphicsScan::sourceCapacity);
    FUZZ_CHECK(result.consumed <= page.size());
    FUZZ_CHECK(result.list.empty() || traced > 0);
    if (result.consumed == 0)
        FUZZ_CHECK(result.source == page.substr(0, HtmlGraphicsScan::sourceCapacity));
    // The slow rescan costs up to a tag's length per ">": only for short pages.
    if (page.size() <= 8192)
        FUZZ_CHECK(result.source == expectedSource(page).substr(0, HtmlGraphicsScan::sourceCapacity));
    return 0;
}
