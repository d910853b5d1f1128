#pragma once

#include <string>
#include <string_view>

namespace tvrn2 {

// The text rules of link targets, free of any window or desktop.

// A web target: "www." or a web scheme at the start (exact case).
bool isWebTarget(std::string_view target);
// An e-mail target: an "@" anywhere.
bool isEmailTarget(std::string_view target);

// Percent-encodes an e-mail target so that a mail program receives it as one
// address with its query intact: blanks, control characters, ";", "<", ">",
// a "%" that starts no escape, and a "?" or "&" that starts no known header
// become "%XX". When "&body=" is present only the body is encoded, so the
// address and subject stay as typed. A target wholly in double quotes loses
// them. The result holds at most `limit` characters; an escape that would
// cross the limit is left out whole, and the text after it with it.
std::string encodeEmailTarget(std::string_view target, std::size_t limit = 4096);

// Link markup for a target: mode 0 an HTML anchor, mode 1 the address in
// double quotes, any other mode the bare address. A web target gets its
// scheme, an e-mail target "mailto:".
std::string linkMarkup(std::string_view target, int mode);

// The text between the first and the second occurrence of `delimiter`.
std::string textBetween(std::string_view text, std::string_view delimiter);

} // namespace tvrn2
