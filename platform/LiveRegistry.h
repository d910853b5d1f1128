#pragma once

#include "platform/RegistryText.h"

#include <string>
#include <string_view>
#include <vector>

namespace tvrn2 {

// Values the registry answers from the desktop while its file holds none:
//  HKEY_CURRENT_USER\Software\Microsoft\Internet Explorer "Download Directory";
//  HKEY_CLASSES_ROOT\.htm (default) "htmlfile", mailto\shell\open\command,
//  .EXT (default) "EXTfile" and EXTfile\shell\open\command, from the desktop's
//  default applications for text/html, the mailto scheme and the type of
//  files named *.EXT. Nothing is answered where the desktop has no default.
// `keyPath` is a full key path from the hive name, in any case.
std::vector<RegistryValue> liveRegistryValues(std::string_view keyPath);

// The user's download folder: the XDG download folder, else $HOME/Downloads.
std::string downloadDirectory();

} // namespace tvrn2
