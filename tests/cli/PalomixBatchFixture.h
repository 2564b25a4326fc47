// palomix-batch run as a program in a program folder of the test's own, with a psp.ini and an
// odd settings file, for the tests of its options and its dry run.
#pragma once

#include <gtest/gtest.h>
#include <filesystem>
#include <memory>
#include <string>
#include <utility>
#include <vector>
#include "BatchProgramFixture.h"
#include "JsonReader.h"
#include "OddNames.h"
#include "engine/CommandLine.h"
#include "platform/Drives.h"

namespace palomix::testing {

namespace fs = std::filesystem;

// A settings file name with blanks, quotes, '$', ';' and Japanese characters, and a job file
// name of the same kind (OddNames.h).
inline const std::string& kOddName = kOddSettingsName;
inline const std::string& kOddJob = kOddJobName;

// The command lines of Item0 of psp.ini: 0 and 3 run, 1 is a tool line, 2 is missing.
inline const std::string kStandard0 =
    "\"<%AppPath%>\\cores\\ffmpeg\" -i \"<%InputFile%>\" -b 768 \"<%OutputFile%>.mp4\" -y";
inline const std::string kStandard1 = "rm \"<%OutputFile%>.tmp\"";
inline const std::string kStandard3 = "echo done \"<%InputFile%>\" x";

// Device access that never creates a folder, to work out the expected lines.
class NoCreateDevices final : public DeviceAccess {
public:
    explicit NoCreateDevices(std::vector<std::string> drives)
        : inner_(FolderDeviceAccess(std::move(drives))) {}
    std::vector<std::string> ListDrives() override { return inner_->ListDrives(); }
    bool IsFolder(const std::string& path) override { return inner_->IsFolder(path); }
    bool CreateFolders(const std::string&) override { return true; }

private:
    std::unique_ptr<DeviceAccess> inner_;
};

class PalomixBatchTest : public BatchProgramFixture {
protected:
    void SetUp() override {
        BatchProgramFixture::SetUp();
        psp_ =
            WriteSettings("psp.ini",
                          "[Info]\n"
                          "Title=PSP\xE5\x8B\x95\xE7\x94\xBB\n"
                          "Description=for \"PSP\"\n"
                          "TitleE=PSP video\n"
                          "DescriptionE=for \"PSP\"\n"
                          "[Item0]\n"
                          "Title=\xE6\xA8\x99\xE6\xBA\x96\n"
                          "TitleE=Standard\n"
                          "Command0=" +
                              kStandard0 + "\nCommand1=" + kStandard1 + "\nCommand3=" + kStandard3 +
                              "\n"
                              "[Item1]\n"
                              "Command0=untitled item, never run\n"
                              "[Item2]\n"
                              "Title=\xE9\xAB\x98\n"
                              "TitleE=High\n"
                              "Command0=high \"<%InputFile%>\" \"<%PSPVideoOutputFile%>.MP4\" x\n");
        odd_ =
            WriteSettings("sub/" + kOddName,
                          "[Info]\nTitle=\xE5\xA4\x89\nTitleE=Odd\n"
                          "[Item0]\nTitle=one\nTitleE=one E\nCommand0=odd \"<%InputFile%>\" x\n");
    }

    std::string Work(const std::string& relative) const { return Text(work_ / PathOf(relative)); }

    std::string psp_;
    std::string odd_;
};

}  // namespace palomix::testing
