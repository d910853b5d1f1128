#include "browser_host/HtmlGraphicsScan.h"

#include "platform/FixedText.h"
#include "platform/TextCase.h"

#include <algorithm>
#include <array>
#include <optional>
#include <unordered_set>

namespace tvrn2 {
namespace {

void appendCut(std::string& to, std::string_view text, std::size_t capacity)
{
    if (to.size() < capacity)
        to.append(text.substr(0, capacity - to.size()));
}

// The words that make a tag a picture tag, and where each first occurs in
// the tag seen so far. The "<" stays remembered over tags that are passed
// over, so one tag can be looked at again at every later ">": the words are
// followed as the tag grows, so each character is looked at once however
// many ">" follow it.
class TagWords {
public:
    enum Word { Img, Src, Body, Background, InputImage, count };

    void start(std::size_t at)
    {
        m_start = m_end = at;
        m_first.fill(std::string_view::npos);
    }

    // Takes in the tag's characters up to `end` (exclusive). Only the word
    // ending in a character is looked for where that character stands.
    void extend(std::string_view page, std::size_t end)
    {
        for (; m_end < end; ++m_end) {
            const int word = wordEndingIn[static_cast<unsigned char>(lowerAscii(page[m_end]))];
            if (word == count || m_first[word] != std::string_view::npos)
                continue;
            std::string_view text = words[word];
            if (m_end + 1 - m_start < text.size())
                continue;
            std::size_t from = m_end + 1 - text.size();
            if (equalsIgnoringCase(page.substr(from, text.size()), text))
                m_first[word] = from - m_start;
        }
    }

    bool has(Word word) const { return m_first[word] != std::string_view::npos; }

    // Where the attribute holding the picture starts in the tag, or nothing for other tags.
    std::optional<std::size_t> pictureAttribute() const
    {
        if (has(Img) && has(Src))
            return m_first[Src];
        if (has(Body) && has(Background))
            return m_first[Background];
        if (has(InputImage) && has(Src))
            return m_first[Src];
        return std::nullopt;
    }

private:
    static constexpr std::array<std::string_view, count> words { "img", "src", "body", "background",
        "input type=image" };
    // For each character, the word that ends in it, or `count`; no two words end alike.
    static constexpr std::array<int, 256> wordEndingIn = [] {
        std::array<int, 256> table {};
        table.fill(count);
        for (int word = 0; word < count; ++word) {
            int& entry = table[static_cast<unsigned char>(words[word].back())];
            if (entry != count)
                throw "two words end in the same character";
            entry = word;
        }
        return table;
    }();
    std::size_t m_start { 0 };
    std::size_t m_end { 0 };
    std::array<std::size_t, count> m_first {};
};

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
    // Lines are only built when someone reads them: on a large page the
    // list would otherwise be copied once per picture for nothing.
    auto note = [&](std::string_view line, std::string_view detail = {}) {
        if (trace)
            trace(std::string("GetHtmlGraphicsInfo - ").append(line).append(detail));
    };
    Result result;
    // The entries in the list, to list each once. Only entries that reached the
    // list are kept, so this stays as small as the list however large the page.
    std::unordered_set<std::string> listed;
    std::optional<std::string> folder;
    std::size_t copied = 0; // the page before this has gone to the output
    constexpr std::size_t none = std::string_view::npos;
    std::size_t tagStart = none; // the latest "<" not yet used up
    TagWords words;

    for (std::size_t i = 0; i < page.size(); ++i) {
        if (page[i] == '<') {
            tagStart = i;
            words.start(i);
            continue;
        }
        if (page[i] != '>' || tagStart == none)
            continue;
        std::size_t start = tagStart;
        std::string_view tag = page.substr(start, std::min(i - start + 1, tagCapacity));
        words.extend(page, start + tag.size());
        std::optional<std::size_t> attribute = words.pictureAttribute();
        if (!attribute)
            continue;
        tagStart = none;
        auto open = tag.find('"', *attribute);
        auto close = open == std::string_view::npos ? open : tag.find('"', open + 1);
        if (close == std::string_view::npos)
            continue; // no complete quoted value: the tag stays as it is
        std::string_view value = tag.substr(open + 1, close - open - 1);

        std::string path(value);
        note("Check Point 1 - ", path);
        if (!isAbsolute(path)) {
            note("Check Point 1.2");
            if (!folder)
                folder = pageFolder ? pageFolder() : std::string();
            std::string_view relative = value.substr(std::min(value.find_first_not_of(' '), value.size()));
            path = joinPath(clip(*folder), relative).substr(0, 255);
            note("Check Point 1.3 - ", path);
        }
        std::string entry = isAbsolute(path) ? path : joinPath(clip(rootFolder), path);
        if (!listed.contains(entry)) {
            bool first = result.list.empty();
            if (result.list.size() < listCapacity)
                listed.insert(entry);
            if (!first)
                appendCut(result.list, ",", listCapacity);
            appendCut(result.list, entry, listCapacity);
            bool rooted = entry != path;
            note(rooted ? (first ? "Check Point 1.5 - " : "Check Point 1.4 - ")
                        : (first ? "Check Point 1.7 - " : "Check Point 1.6 - "),
                result.list);
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
