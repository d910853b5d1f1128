#include "browser_host/HtmlGraphicsScan.h"

#include "platform/FixedText.h"
#include "platform/TextCase.h"

#include <algorithm>
#include <optional>
#include <vector>

namespace tvrn2 {
namespace {

void appendCut(std::string& to, std::string_view text, std::size_t capacity)
{
    if (to.size() < capacity)
        to.append(text.substr(0, capacity - to.size()));
}

// The attribute holding a picture in a tag, or nothing for other tags.
std::optional<std::string_view> pictureAttribute(std::string_view lowerTag)
{
    auto has = [&](std::string_view word) { return lowerTag.find(word) != std::string_view::npos; };
    if (has("img") && has("src"))
        return "src";
    if (has("body") && has("background"))
        return "background";
    if (has("input type=image") && has("src"))
        return "src";
    return std::nullopt;
}

// A path is complete when it names a scheme or drive (":") or starts at the root.
bool isAbsolute(std::string_view path)
{
    return path.find(':') != std::string_view::npos || path.starts_with('/');
}

std::string joinPath(std::string_view folder, std::string_view name)
{
    if (folder.empty())
        return std::string(name);
    std::string joined(folder);
    if (!joined.ends_with('/'))
        joined += '/';
    return joined + std::string(name);
}

// The file name of a reference: after its last separator, unless there is
// none or it is the very first character.
std::string_view fileName(std::string_view value)
{
    auto last = value.find_last_of("\\/");
    if (last == std::string_view::npos || last == 0)
        return value;
    return value.substr(last + 1);
}

} // namespace

HtmlGraphicsScan::Result HtmlGraphicsScan::run(std::string_view page) const
{
    auto note = [&](const std::string& line) {
        if (trace)
            trace("GetHtmlGraphicsInfo - " + line);
    };
    Result result;
    std::vector<std::string> listed;
    std::optional<std::string> folder;
    std::size_t copied = 0; // the page before this has gone to the output
    constexpr std::size_t none = std::string_view::npos;
    std::size_t tagStart = none; // the latest "<" not yet used up

    for (std::size_t i = 0; i < page.size(); ++i) {
        if (page[i] == '<') {
            tagStart = i;
            continue;
        }
        if (page[i] != '>' || tagStart == none)
            continue;
        std::size_t start = tagStart;
        std::string_view tag = page.substr(start, std::min(i - start + 1, tagCapacity));
        std::string lowerTag = toLowerAscii(tag);
        std::optional<std::string_view> attribute = pictureAttribute(lowerTag);
        if (!attribute)
            continue;
        tagStart = none;
        auto open = tag.find('"', lowerTag.find(*attribute));
        auto close = open == std::string_view::npos ? open : tag.find('"', open + 1);
        if (close == std::string_view::npos)
            continue; // no complete quoted value: the tag stays as it is
        std::string_view value = tag.substr(open + 1, close - open - 1);

        std::string path(value);
        note("Check Point 1 - " + path);
        if (!isAbsolute(path)) {
            note("Check Point 1.2");
            if (!folder)
                folder = pageFolder ? pageFolder() : std::string();
            std::string_view relative = value.substr(std::min(value.find_first_not_of(' '), value.size()));
            path = joinPath(clip(*folder), relative).substr(0, 255);
            note("Check Point 1.3 - " + path);
        }
        std::string entry = isAbsolute(path) ? path : joinPath(clip(rootFolder), path);
        if (std::find(listed.begin(), listed.end(), entry) == listed.end()) {
            bool first = listed.empty();
            listed.push_back(entry);
            if (!first)
                appendCut(result.list, ",", listCapacity);
            appendCut(result.list, entry, listCapacity);
            bool rooted = entry != path;
            note(std::string("Check Point ") + (rooted ? (first ? "1.5" : "1.4") : (first ? "1.7" : "1.6"))
                + " - " + result.list);
        }

        appendCut(result.source, page.substr(copied, start + open + 1 - copied), sourceCapacity);
        appendCut(result.source, "cid:", sourceCapacity);
        appendCut(result.source, fileName(value), sourceCapacity);
        copied = start + close;
    }
    appendCut(result.source, page.substr(copied), sourceCapacity);
    result.consumed = copied;
    return result;
}

} // namespace tvrn2
