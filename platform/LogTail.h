// The ends of a converter's log: the batch run keeps the first and last lines of a command's
// output, read here without loading a log of any size.
#pragma once

#include <cstddef>
#include <string>
#include <vector>

namespace palomix {

// The last `count` lines of the file at `path` (UTF-8 path), oldest first, without their line
// ends. "\n", "\r\n" and a lone "\r" (with which converters redraw a progress line) each end a
// line; a line end at the end of the file makes no empty line after it. Only the last
// `maxBytes` bytes of the file are read: a line that starts before them is cut to its end.
// A missing or unreadable file gives no lines.
std::vector<std::string> LastLines(const std::string& path, std::size_t count,
                                   std::size_t maxBytes = 64 * 1024);

// The first `count` lines of the file, by the same rules, read from its first `maxBytes` bytes
// (a line that goes on beyond them is cut there). `whole` is set when they are all the lines
// the file holds.
std::vector<std::string> FirstLines(const std::string& path, std::size_t count, bool& whole,
                                    std::size_t maxBytes = 64 * 1024);

}  // namespace palomix
