// A drop of a file whose name is not UTF-8, as a file manager sends it.
#include <gtest/gtest.h>

#include <QLabel>

#include "tests/app/AppTestSupport.h"

namespace palomix::testing {
namespace {

using DropPosixTest = WindowTest;

TEST_F(DropPosixTest, ANameThatIsNotUtf8IsQueuedByteForByte) {
    const std::string latin1 = scratch_.Write("in/caf\xE9 1.avi", "x");
    const std::string folder = scratch_.MakeFolder("in/d\xFF");
    const std::string inside = scratch_.Write("in/d\xFF/x.avi", "y");
    TMainForm1& form = Ready(kHang);
    form.show();
    ProcessPending();
    const std::string base = "file://" + scratch_.Path("in");
    DragAndDropUrls(form, *form.Label4,
                    {QUrl::fromEncoded(QByteArray::fromStdString(base + "/caf%E9%201.avi")),
                     QUrl::fromEncoded(QByteArray::fromStdString(base + "/d%FF/"))});
    ASSERT_TRUE(WaitUntil([&] { return form.Core().JobCount() == 2; }));
    EXPECT_EQ(form.Core().Job(0).path, latin1);
    EXPECT_EQ(form.Core().Job(1).path, inside);
    EXPECT_EQ(form.Report().FailureCount(), 0);
}

}  // namespace
}  // namespace palomix::testing
