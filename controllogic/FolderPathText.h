// Texts of the folder browse field: the folder a user chose, and the path shown in the
// folder dialog's status line.
#pragma once

#include <cstddef>
#include <string>
#include <string_view>

#include "platform/PathRules.h"

namespace palomix {

// The chosen folder without trailing separators, except at a root, which keeps its own:
// "/" stays "/", "C:\" stays "C:\", "/media/music/" becomes "/media/music" and "D:\video\"
// becomes "D:\video". In the Windows style both '\' and '/' count as trailing separators.
std::string ChosenFolderText(std::string_view path, PathStyle style = NativePathStyle());

// The path shortened to at most `maxChars` characters (UTF-8 characters, not bytes) for a
// status line: a longer path keeps its beginning and its end with "..." between them.
std::string ShortenedPathText(std::string_view path, std::size_t maxChars = 40);

}  // namespace palomix
