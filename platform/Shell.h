#pragma once

#include <string_view>

namespace tvrn2 {

// Results of handing a target to the desktop, in the shell's own numbering:
// a value above 32 means an application took the target; the others name
// why not.
namespace ShellResult {
inline constexpr int OutOfResources = 0;
inline constexpr int FileNotFound = 2;
inline constexpr int PathNotFound = 3;
inline constexpr int AccessDenied = 5;
inline constexpr int OutOfMemory = 8;
inline constexpr int AssociationIncomplete = 27;
inline constexpr int NoAssociation = 31;
inline constexpr int Opened = 42;
} // namespace ShellResult

// Opens a target with the desktop's default application and returns one of
// the results above. A target with a URI scheme ("mailto:", "http:") goes to
// the scheme's handler; "www." alone stands for a web address; anything else
// is a file or folder path, relative paths taken from the current directory.
// The target reaches the application as one argument of its own: no shell
// ever parses it.
int shellOpen(std::string_view target);

// Whether the desktop names an application for a URI (by its scheme; for a
// "file:" URI, by the file's type) or a "www." address. It may still fail
// to start.
bool hasDefaultApplication(std::string_view target);

} // namespace tvrn2
