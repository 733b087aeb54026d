// How the application forms paths from a snapshot: folders separated by "/", the engine's
// made-up folders (lost parents, the deleted-files folder) removed, names made safe to
// write, and numbered names for names that are taken.
#pragma once
#include <string>
#include <string_view>
#include "platform/win_types.h"

namespace app {

// The name the engine gives its made-up folders: the fallback text of messages 11 and 17.
inline constexpr std::u16string_view kMadeUpFolderName = u"ERROR LOADING STRING";
// The path component removed from every displayed or written path.
inline constexpr std::u16string_view kMadeUpFolderComponent = u"ERROR LOADING STRING/";

// The path with every occurrence of the made-up folder component removed.
std::u16string RemoveMadeUpFolders(std::u16string_view path);

// A name that can be written as one path component inside a destination folder:
// "/" and control characters become "_", and "", "." and ".." become "_", "_." and "_..",
// so a name from a damaged volume can never leave the destination folder.
std::u16string SafeComponent(std::u16string_view name);

// The numbered form of a name, as the engine numbers duplicate names: with a
// three-character extension "report (2).doc", otherwise "archive.tar.gz (1)".
std::u16string NumberedName(std::u16string_view name, int number);

}  // namespace app
