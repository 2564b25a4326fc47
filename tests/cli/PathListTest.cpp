#include "cli/PathList.h"

#include <gtest/gtest.h>

#include <cerrno>
#include <ios>
#include <istream>
#include <streambuf>
#include <string>
#include <system_error>
#include <vector>

namespace palomix {
namespace {

// A stream buffer that gives its text, then fails to read as a file read by libstdc++ does.
class FailingBuffer final : public std::streambuf {
public:
    explicit FailingBuffer(std::string text) : text_(std::move(text)) {
        setg(text_.data(), text_.data(), text_.data() + text_.size());
    }

protected:
    int_type underflow() override {
        throw std::ios_base::failure("read", std::error_code(EIO, std::generic_category()));
    }

private:
    std::string text_;
};

// A list that breaks off is not a shorter list: nothing of it is taken, and the reason is
// the system's. A stream that is bad from the start stands for a closed standard input.
TEST(PathListTest, AListThatCannotBeReadGivesItsReasonAndNoPath) {
    FailingBuffer buffer("a.mp4\nb.mp4\n");
    std::istream in(&buffer);
    const ListedPaths listed = WithListedPaths({"x.mp4", "-"}, in, PathListSeparator::Newline);
    EXPECT_EQ(listed.error, std::error_code(EIO, std::generic_category()).message());
    EXPECT_TRUE(listed.paths.empty());

    std::istream closed(nullptr);
    EXPECT_EQ(ReadPathList(closed, PathListSeparator::Null).error, "it is closed");
    EXPECT_TRUE(WithListedPaths({"x.mp4"}, closed, PathListSeparator::Null).Ok());
}

}  // namespace
}  // namespace palomix
