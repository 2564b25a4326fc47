// The window's texts, which are UTF-8 bytes, as Qt's strings.
#pragma once

#include <QString>
#include <string_view>

namespace palomix {

// The UTF-8 text as a QString; a byte that is not UTF-8 becomes a replacement character.
inline QString Q(std::string_view text) {
    return QString::fromUtf8(text.data(), static_cast<qsizetype>(text.size()));
}

}  // namespace palomix
