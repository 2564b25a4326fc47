#include "platform/CappedLog.h"

#include <algorithm>

namespace palomix {

CappedLog::CappedLog(LogFileWriter& file, std::size_t headBytes, std::size_t tailBytes)
    : file_(file), headBytes_(headBytes), tailBytes_(std::max<std::size_t>(tailBytes, 1)) {}

std::string CappedLog::LeftOutLine(std::uint64_t bytes) {
    return "\n[" + std::to_string(bytes) + " bytes of output left out here]\n";
}

void CappedLog::Write(bool ok) {
    failed_ = failed_ || !ok;
}

void CappedLog::Take(std::string_view bytes) {
    if (failed_) {
        leftOut_ += bytes.size();
        return;
    }
    const std::size_t toHead = std::min(bytes.size(), headBytes_ - head_);
    if (toHead > 0) {
        Write(file_.Append(bytes.substr(0, toHead)));
        head_ += toHead;
        bytes.remove_prefix(toHead);
    }
    if (bytes.empty() || failed_) {
        leftOut_ += failed_ ? bytes.size() : 0;
        return;
    }
    Write(file_.Append(bytes));
    tail_.append(bytes);
    if (tail_.size() >= 2 * tailBytes_) {
        CutTail();
    }
}

// Keeps the last bytes of the tail, from the start of a line when one starts within them.
void CappedLog::CutTail() {
    std::size_t from = tail_.size() - tailBytes_;
    const std::size_t lineStart = tail_.find_first_of("\r\n", from);
    if (lineStart != std::string::npos && lineStart + 1 < tail_.size()) {
        from = lineStart + 1;
    }
    leftOut_ += from;
    tail_.erase(0, from);
    Write(file_.Rewrite(head_, LeftOutLine(leftOut_) + tail_));
}

}  // namespace palomix
