// Path rules used everywhere in the program: the file name of a path, its BaseName, its
// folder, and how a folder and a name are joined. Every rule takes the path style as a
// parameter so that Windows paths can be handled (and tested) on Linux and the other way
// round; the native style is the default.
//
// Paths are UTF-8. Separators are ASCII characters, and no byte of a multi-byte UTF-8
// character is ever an ASCII byte, so a search for a separator never splits a character.
#pragma once

#include <string>
#include <string_view>

namespace palomix {

enum class PathStyle {
    Windows,  // separators '\' and ':' (drive letter), joined with '\'
    Posix,    // separator '/'
};

// The style of the platform the program runs on.
PathStyle NativePathStyle();

inline bool IsPathSeparator(char c, PathStyle style) {
    return style == PathStyle::Windows ? c == '\\' || c == ':' : c == '/';
}

// '\' for Windows, '/' for POSIX: the separator that joins a folder and a name.
char JoinSeparator(PathStyle style);

// True when the last character of the path is a separator ('\' only for Windows: a drive
// "C:" does not end in one).
bool EndsWithJoinSeparator(std::string_view path, PathStyle style);

// The part after the last separator (the whole path when it has none).
std::string_view FileNameOf(std::string_view path, PathStyle style = NativePathStyle());

// The file name without folder and without its last extension: (1) when the last full stop,
// separator or colon of the path is a full stop, cut from there; (2) take the text after the
// last separator. "C:\movies\archive.tar.gz" gives "archive.tar", "C:\old.dir\clip" gives
// "clip", "C:\movies\.avi" gives "".
std::string BaseNameOf(std::string_view path, PathStyle style = NativePathStyle());

// The folder that holds the path: the text before its last separator, without that
// separator, except at a root, which keeps it ("C:\Palomix.exe" gives "C:\", "/palomix"
// gives "/"). A path with no separator gives "".
std::string FolderOf(std::string_view path, PathStyle style = NativePathStyle());

// folder + separator + name, adding the separator only when the folder does not end in one.
std::string JoinPath(std::string_view folder, std::string_view name,
                     PathStyle style = NativePathStyle());

}  // namespace palomix
