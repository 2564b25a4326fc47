// UTF-8 inside the program, UTF-16 at the Win32 API: the two conversions, used only by the
// win32 files.
#pragma once

#include <string>
#include <string_view>

namespace palomix::win32 {

std::wstring ToWide(std::string_view utf8);
std::string FromWide(std::wstring_view wide);

}  // namespace palomix::win32
