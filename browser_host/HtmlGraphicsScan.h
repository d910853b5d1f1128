#pragma once

#include <cstddef>
#include <functional>
#include <string>
#include <string_view>

namespace tvrn2 {

// The graphics files a page refers to, for sending the page as a message
// with its pictures as parts: every picture reference (img src, body
// background, input type=image src) in double quotes is listed once by its
// full path and rewritten to "cid:" + its file name. Works in fixed buffers:
// a tag is looked at up to its first 5000 characters, the list holds at most
// 8192 and the rewritten page 100000 characters.
struct HtmlGraphicsScan {
    static constexpr std::size_t tagCapacity = 5000;
    static constexpr std::size_t listCapacity = 8192;
    static constexpr std::size_t sourceCapacity = 100000;

    // Folder put before paths that are still relative after resolution.
    std::string rootFolder;
    // The folder of the page's own address, asked once, at the first
    // relative reference; empty when the page is not a local file.
    std::function<std::string()> pageFolder;
    std::function<void(std::string_view)> trace;

    struct Result {
        std::string list; // full paths separated by ","
        std::string source; // the page with rewritten references
        std::size_t consumed { 0 }; // how much of the page went into the rewritten part
    };

    Result run(std::string_view page) const;
};

} // namespace tvrn2
