// Which program a line starts, with a file system of names given by the test: the reading
// found, and when it is not the program the line's text names as a whole.
#include "platform/ProgramResolution.h"

#include <gtest/gtest.h>

#include <set>
#include <string>

namespace palomix {
namespace {

struct ResolutionCase {
    std::string line;
    std::set<std::string> programs;  // the readings that name a program
    std::string found;               // the reading found; empty: none
    std::string meant;               // set: ambiguous
};

TEST(ResolveProgramTest, AReadingShorterThanThePathTheLineNamesIsAmbiguous) {
    const std::string real = "/opt/Program Files/cores/ffmpeg";
    const std::string windows = R"(C:\Program Files\x\cores\ffmpeg.exe)";
    const ResolutionCase cases[] = {
        // The classic hazard, with the converter there or not.
        {real + " -i in out", {"/opt/Program", real}, "/opt/Program", real},
        {real + " -i in out", {"/opt/Program"}, "/opt/Program", real},
        {windows + " -y", {R"(C:\Program)"}, R"(C:\Program)", windows},
        // The path as a whole, or quoted: nothing else is tried.
        {real + " -i in out", {real}, real, ""},
        {"\"" + real + "\" -i in", {"/opt/Program", real}, real, ""},
        // Words after the program that are options, absolute paths or drives go with no path.
        {"/usr/bin/ffmpeg -i /in/a.mp4", {"/usr/bin/ffmpeg"}, "/usr/bin/ffmpeg", ""},
        {"/usr/bin/tool /in/a.wav", {"/usr/bin/tool"}, "/usr/bin/tool", ""},
        {R"(C:\bin\tool D:\in\a.wav)", {R"(C:\bin\tool)"}, R"(C:\bin\tool)", ""},
        {"ffmpeg -y out/a.mp4", {"ffmpeg"}, "ffmpeg", ""},
        // A blank in the file name: a longer reading that names a program too is ambiguous.
        {"/opt/my conv -y", {"/opt/my conv"}, "/opt/my conv", ""},
        {"/opt/my conv -y", {"/opt/my", "/opt/my conv"}, "/opt/my", "/opt/my conv"},
        {"/opt/missing -y", {}, "", ""},
    };
    for (const ResolutionCase& c : cases) {
        const auto find = [&c](const std::string& reading) {
            return c.programs.contains(reading) ? reading : std::string();
        };
        const auto resolved = ResolveProgram(c.line, find);
        EXPECT_EQ(resolved ? resolved->reading : std::string(), c.found) << c.line;
        EXPECT_EQ(resolved ? resolved->meant : std::string(), c.meant) << c.line;
        // Any line that begins as far as the answer stood on gets the same answer.
        if (!resolved || resolved->decidedBy == std::string_view::npos) {
            continue;
        }
        for (const char* after : {"", "x", "-i", "/more/path words", "\"q", " "}) {
            const std::string other = c.line.substr(0, resolved->decidedBy) + after;
            const auto again = ResolveProgram(other, find);
            ASSERT_TRUE(again.has_value()) << other;
            EXPECT_EQ(again->reading, resolved->reading) << other;
            EXPECT_EQ(again->meant, resolved->meant) << other;
        }
    }
}

}  // namespace
}  // namespace palomix
