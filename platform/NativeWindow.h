// A window of the system's own, as the OS files take it: the window handle (HWND on Windows),
// passed through as an opaque pointer so that callers need no system header.
#pragma once

namespace palomix {

using NativeWindowHandle = void*;

}  // namespace palomix
