#include "OutputChecks.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <filesystem>
#include <fstream>
#include <map>
#include <optional>
#include <vector>

#include "MediaProbe.h"
#include "TestMedia.h"

namespace palomix::e2e {
namespace {

namespace fs = std::filesystem;

// How far a duration may be from the promised one, in seconds.
constexpr double kDurationTolerance = 0.2;
// How far sound and picture may start apart, in seconds (about one frame at 25 fps).
constexpr double kSyncTolerance = 0.037;
// How much earlier than its frame period a frame may come (timestamp jitter), in seconds.
constexpr double kFrameJitter = 0.0025;

// The H.264 limits of a level for the Baseline and Main profiles: the largest bit rate (kbit/s)
// and coded picture buffer (kbit), by ffprobe's level number.
struct LevelLimits {
    int maxBitRate;
    int maxBuffer;
};
std::optional<LevelLimits> LimitsOf(int level) {
    static const std::map<int, LevelLimits> limits = {
        {9, {128, 350}},        {10, {64, 175}},        {11, {192, 500}},
        {12, {384, 1000}},      {13, {768, 2000}},      {20, {2000, 2000}},
        {21, {4000, 4000}},     {22, {4000, 4000}},     {30, {10000, 10000}},
        {31, {14000, 14000}},   {32, {20000, 20000}},   {40, {20000, 25000}},
        {41, {50000, 62500}},   {42, {50000, 62500}},   {50, {135000, 135000}},
        {51, {240000, 240000}}, {52, {240000, 240000}},
    };
    const auto found = limits.find(level);
    return found == limits.end() ? std::nullopt : std::optional(found->second);
}

// How many times the Baseline/Main limits a profile may use.
double ProfileFactor(const std::string& profile) {
    if (profile == "High") {
        return 1.25;
    }
    if (profile == "High 10") {
        return 3.0;
    }
    if (profile.starts_with("High 4:")) {
        return 4.0;
    }
    return 1.0;
}

bool StartsAsJpeg(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    unsigned char magic[3] = {};
    in.read(reinterpret_cast<char*>(magic), 3);
    return in && magic[0] == 0xFF && magic[1] == 0xD8 && magic[2] == 0xFF;
}

double Ratio(const std::string& text) {
    const std::size_t colon = text.find(':');
    if (colon == std::string::npos) {
        return 0;
    }
    const double denominator = std::atof(text.c_str() + colon + 1);
    return denominator > 0 ? std::atof(text.c_str()) / denominator : 0;
}

// The H.264 stream stays within the VBV limits it declares, and they fit its level.
void CheckRateLimit(const std::string& path, const ProbedStream& video) {
    const std::optional<VbvSettings> vbv = X264Vbv(path);
    ASSERT_TRUE(vbv.has_value()) << "the H.264 stream declares no VBV limit";
    EXPECT_GT(vbv->maxRate, 0);
    EXPECT_GT(vbv->bufferSize, 0);
    const std::optional<LevelLimits> limits = LimitsOf(video.level);
    ASSERT_TRUE(limits.has_value()) << "unknown H.264 level " << video.level;
    const double factor = ProfileFactor(video.profile);
    EXPECT_LE(vbv->maxRate, limits->maxBitRate * factor) << "level " << video.level;
    EXPECT_LE(vbv->bufferSize, limits->maxBuffer * factor) << "level " << video.level;
    if (video.bitRate && video.duration) {
        const double kilobits = *video.bitRate * *video.duration / 1000;
        EXPECT_LE(kilobits, vbv->maxRate * *video.duration + vbv->bufferSize)
            << "more bits than the VBV limit lets through";
    }
}

void CheckSync(const ProbedMedia& media) {
    const ProbedStream* video = media.First("video");
    const ProbedStream* audio = media.First("audio");
    if (video != nullptr && audio != nullptr && video->startTime && audio->startTime) {
        EXPECT_NEAR(*video->startTime, *audio->startTime, kSyncTolerance)
            << "sound and picture start apart";
    }
}

// One "name=value" or "name<=value" check of the row.
void CheckProperty(const MediaTools& tools, const std::string& check, const std::string& path,
                   const ProbedMedia& media) {
    SCOPED_TRACE(check);
    const std::size_t split = check.find_first_of("<=");
    const std::string name = check.substr(0, split);
    const std::string value =
        split == std::string::npos ? std::string() : check.substr(check.find('=') + 1);
    const ProbedStream* video = media.First("video");
    const ProbedStream* audio = media.First("audio");
    if (name == "shape") {
        ASSERT_NE(video, nullptr);
        EXPECT_TRUE(video->sampleAspect.empty() || video->sampleAspect == "1:1")
            << "pixels are " << video->sampleAspect;
        const std::optional<Size> content = ContentSize(tools.ffmpeg, path);
        ASSERT_TRUE(content.has_value()) << "no picture found";
        const double shape = static_cast<double>(content->width) / content->height;
        EXPECT_NEAR(shape / Ratio(value), 1.0, 0.01)
            << "the picture is " << content->width << "x" << content->height;
    } else if (name == "progressive") {
        const std::optional<Picture> grey = DecodeFirstPicture(tools.ffmpeg, path, false);
        ASSERT_TRUE(grey.has_value());
        EXPECT_LT(CombRatio(*grey), 0.8) << "the picture shows combs of interlaced fields";
    } else if (name == "frames" || name == "maxfps") {
        const std::vector<double> times = VideoFrameTimes(tools.ffprobe, path);
        if (name == "frames") {
            EXPECT_NEAR(static_cast<double>(times.size()), std::atof(value.c_str()), 1.0);
        } else {
            double closest = 1e9;
            for (std::size_t i = 1; i < times.size(); ++i) {
                closest = std::min(closest, times[i] - times[i - 1]);
            }
            EXPECT_GE(closest, 1.0 / std::atof(value.c_str()) - kFrameJitter);
        }
    } else if (name == "sdr") {
        ASSERT_NE(video, nullptr);
        EXPECT_EQ(video->colorTransfer, "bt709");
        EXPECT_EQ(video->colorPrimaries, "bt709");
    } else if (name == "tonemapped") {
        // BT.709 throughout, 8 bits, and as bright and colourful as the SDR pictures the HDR
        // input holds: HDR samples taken for SDR ones look grey, hable's curve makes them dark.
        ASSERT_NE(video, nullptr);
        EXPECT_EQ(video->pixelFormat, "yuv420p");
        EXPECT_EQ(video->colorSpace, "bt709");
        EXPECT_EQ(video->colorTransfer, "bt709");
        EXPECT_EQ(video->colorPrimaries, "bt709");
        const std::optional<PictureLook> look = LookOfFirstPicture(tools.ffmpeg, {"-i", path});
        const std::optional<PictureLook> sdr =
            LookOfFirstPicture(tools.ffmpeg, {"-f", "lavfi", "-i", kHdrSourcePictures});
        ASSERT_TRUE(look && sdr);
        EXPECT_NEAR(look->luma / sdr->luma, 1.0, 0.2)
            << "mean brightness " << look->luma << ", in SDR " << sdr->luma;
        EXPECT_NEAR(look->saturation / sdr->saturation, 1.0, 0.3)
            << "mean saturation " << look->saturation << ", in SDR " << sdr->saturation;
    } else if (name == "ar") {
        ASSERT_NE(audio, nullptr);
        EXPECT_EQ(audio->sampleRate, std::atoi(value.c_str()));
    } else if (name == "kbps") {
        ASSERT_NE(audio, nullptr);
        ASSERT_TRUE(audio->bitRate.has_value());
        EXPECT_NEAR(*audio->bitRate / 1000 / std::atof(value.c_str()), 1.0, 0.03);
    } else if (name == "profile") {
        ASSERT_NE(video, nullptr);
        std::string profile = value;
        std::replace(profile.begin(), profile.end(), '_', ' ');
        EXPECT_EQ(video->profile, profile);
    } else if (name == "level") {
        ASSERT_NE(video, nullptr);
        EXPECT_GT(video->level, 0);
        EXPECT_LE(video->level, std::atoi(value.c_str()));
    } else if (name == "corner") {
        const std::optional<Picture> rgb = DecodeFirstPicture(tools.ffmpeg, path, true);
        ASSERT_TRUE(rgb.has_value());
        for (int channel = 0; channel < 3; ++channel) {
            EXPECT_GE(rgb->At(0, 0, channel), 240) << "channel " << channel;
        }
    } else if (name == "faststart") {
        const std::vector<std::string> boxes = Mp4TopBoxes(path);
        const auto moov = std::find(boxes.begin(), boxes.end(), "moov");
        const auto mdat = std::find(boxes.begin(), boxes.end(), "mdat");
        EXPECT_TRUE(moov != boxes.end() && mdat != boxes.end() && moov < mdat);
    } else if (name == "soundlength") {
        ASSERT_TRUE(video != nullptr && audio != nullptr);
        ASSERT_TRUE(video->duration && audio->duration);
        EXPECT_NEAR(*audio->duration, *video->duration, 0.1);
    } else {
        ADD_FAILURE() << "unknown check in expectations.tsv";
    }
}

// The file's streams, compared with the row's codecs; not ok when the file is not there or
// cannot be read.
ProbedMedia ProbeStreams(const MediaTools& tools, const ExpectedOutput& row,
                         const std::string& path) {
    if (!fs::is_regular_file(path)) {
        ADD_FAILURE() << "not written";
        return {};
    }
    ProbedMedia media = ProbeMedia(tools.ffprobe, path);
    if (!media.ok) {
        ADD_FAILURE() << media.error;
        return media;
    }
    std::vector<std::string> codecs;
    for (const ProbedStream& stream : media.streams) {
        codecs.push_back(stream.codec);
    }
    EXPECT_EQ(codecs, row.codecs);
    return media;
}

}  // namespace

void CheckStreams(const MediaTools& tools, const ExpectedOutput& row, const std::string& path) {
    SCOPED_TRACE(path);
    ProbeStreams(tools, row, path);
}

void CheckOutput(const MediaTools& tools, const ExpectedOutput& row, const std::string& path) {
    SCOPED_TRACE(path);
    const ProbedMedia media = ProbeStreams(tools, row, path);
    if (!media.ok) {
        return;
    }
    const ProbedStream* video = media.First("video");
    if (row.width || row.height) {
        ASSERT_NE(video, nullptr) << "no picture";
        EXPECT_EQ(video->width, row.width.value_or(0));
        EXPECT_EQ(video->height, row.height.value_or(0));
    }
    if (row.duration) {
        ASSERT_TRUE(media.duration.has_value()) << "no duration";
        EXPECT_NEAR(*media.duration, *row.duration, kDurationTolerance);
    }
    if (row.titleTag) {
        EXPECT_EQ(TitleOf(media), *row.titleTag);
    }
    const std::string extension = fs::path(path).extension().string();
    if (extension == ".jpg" || extension == ".THM") {
        EXPECT_TRUE(StartsAsJpeg(path)) << "not a JPEG file";
    }
    if (video != nullptr && video->codec == "h264") {
        CheckRateLimit(path, *video);
    }
    CheckSync(media);
    for (const std::string& check : row.checks) {
        CheckProperty(tools, check, path, media);
    }
}

}  // namespace palomix::e2e
