// The text form of a registry export, as regedit writes and reads it: a "REGEDIT4" header,
// [key] sections and "name"=data lines ("text", dword:0000000a, hex:.. and hex(N):..). It is
// the Linux settings file's format, so settings move to and from a Windows registry unchanged.
#pragma once

#include <string>
#include <string_view>

#include "platform/registry_document.h"

namespace ostrel::platform {

// Adds every key and value of the text below top (whose subkeys become the roots, such as
// HKEY_CURRENT_USER). Reads REGEDIT4 text and regedit's UTF-16 "Version 5.00" exports. Damage
// never stops the reading: a line that cannot be understood, a value cut short or a value that
// stands under no readable section is skipped, and the result is false; everything complete
// is kept. The last line of text that does not end with a line break counts as complete only
// when it is evidently whole (a section, a closed string, a dword of eight digits).
bool parseRegistryText(std::string_view text, RegistryNode &top);

// The REGEDIT4 text of every key below top, in storage order, with CRLF line ends as regedit
// writes them.
std::string formatRegistryText(const RegistryNode &top);

}  // namespace ostrel::platform
