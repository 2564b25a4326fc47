#include "platform/AtomicFile.h"

namespace palomix {

FileError::FileError(std::error_code code, const std::string& path, const std::string& step)
    : std::system_error(code, "\"" + path + "\": " + step),
      path_(path),
      reason_(step + ": " + code.message()) {}

}  // namespace palomix
