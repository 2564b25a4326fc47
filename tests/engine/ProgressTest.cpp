// Reading progress from converters' logs, and the job's percentage and time left from it.
#include "engine/OutputCheck.h"
#include "engine/Progress.h"

#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <random>
#include <string>

namespace palomix {
namespace {

TEST(ProgressInLogTest, TheLastStatisticsCountInEitherFormAndGarbageCountsForNothing) {
    // ffmpeg's -stats lines end with a carriage return; the last whole one counts.
    const std::string stats =
        "size=       0kB time=00:00:00.00 bitrate=N/A speed=N/A    \r"
        "size=     256kB time=00:01:02.50 bitrate= 409.6kbits/s speed=2.1x    \r";
    EXPECT_DOUBLE_EQ(*ProgressInLog(stats).position, 62.5);
    EXPECT_DOUBLE_EQ(*ProgressInLog(stats).speed, 2.1);
    // A line still being written does not count; neither does N/A, a negative time, or noise.
    EXPECT_DOUBLE_EQ(*ProgressInLog(stats + "size=  300kB time=00:01:0").position, 62.5);
    EXPECT_FALSE(ProgressInLog("time=N/A bitrate=N/A\r").position);
    EXPECT_FALSE(ProgressInLog("time=-00:00:01.00 bitrate=1\r").position);
    EXPECT_FALSE(ProgressInLog("\x01\xff garbage time= x\n\n\r").position);
    EXPECT_FALSE(ProgressInLog("").position);
    // -progress key=value lines.
    const LogProgress keys = ProgressInLog("frame=10\nout_time_us=5120000\nspeed=3.5x\n");
    EXPECT_DOUBLE_EQ(*keys.position, 5.12);
    EXPECT_DOUBLE_EQ(*keys.speed, 3.5);
    EXPECT_DOUBLE_EQ(*ProgressInLog("out_time=00:00:07.250000\r\n").position, 7.25);
}

TEST(ProgressInLogTest, StatisticsAreNotMessagesAndLengthsComeFromTheProbe) {
    EXPECT_TRUE(IsStatisticsLine("size=  256kB time=00:00:01.00 bitrate= 2.0kbits/s speed=1x"));
    EXPECT_TRUE(IsStatisticsLine("out_time_us=100"));
    EXPECT_FALSE(IsStatisticsLine("Error opening input file x.mp4."));
    EXPECT_FALSE(IsStatisticsLine("frame rate too high: 120"));
    const auto length = [](const std::string& answer) {
        return LengthsOf(ReadProbeAnswer(answer, true)).whole;
    };
    EXPECT_DOUBLE_EQ(*length("format_name=mp3\nduration=12.500000\n"), 12.5);
    EXPECT_FALSE(length("format_name=png_pipe\nduration=N/A\n"));  // a picture
    EXPECT_FALSE(length("format_name=mjpeg\nduration=0.040000\n"));
    EXPECT_FALSE(length(""));
}

// Whatever a converter writes, a line's percentage never goes back and never passes 100, and
// without a length there is none at all.
TEST(JobProgressTrackerTest, PercentagesNeverGoBackNeverPass100AndAreAbsentWithoutALength) {
    std::mt19937 random(7);
    JobProgressTracker tracker;
    tracker.Start(1);
    tracker.SetDuration(10.0);
    tracker.LineStarted();
    double last = 0;
    for (int i = 0; i < 200; ++i) {
        LogProgress update;
        if (random() % 4 != 0) {
            update.position = static_cast<double>(random() % 150) / 10;  // also beyond the end
        }
        tracker.Update(update);
        const JobProgress now = tracker.Now();
        if (now.linePercent) {
            EXPECT_GE(*now.linePercent, last);
            EXPECT_LE(*now.linePercent, 100.0);
            last = *now.linePercent;
        }
    }
    JobProgressTracker picture;
    picture.Start(1);
    picture.LineStarted();
    picture.Update(LogProgress{3.0, 1.0});
    EXPECT_FALSE(picture.Now().percent);
    EXPECT_FALSE(picture.Now().secondsLeft);
}

TEST(JobProgressTrackerTest, LinesThatConvertCarryTheJobAndTimeLeftWaitsTwoSeconds) {
    JobProgressTracker job;
    job.Start(3);  // the conversion, a thumbnail, a second conversion
    job.SetDuration(20.0);
    job.LineStarted();
    job.Update(LogProgress{10.0, 2.0});
    job.Tick();
    EXPECT_NEAR(*job.Now().percent, 100.0 / 3 / 2, 0.01);
    EXPECT_FALSE(job.Now().secondsLeft);  // not in the first two seconds
    job.Tick();
    ASSERT_TRUE(job.Now().secondsLeft);
    job.Update(LogProgress{20.0, std::nullopt});
    job.LineEnded();
    job.LineStarted();  // the thumbnail shows no position...
    job.LineEnded();    // ...so it drops out: one of the two converting lines is done
    EXPECT_NEAR(*job.Now().percent, 50.0, 0.01);
    EXPECT_EQ(job.Now().line, 2);
    job.LineStarted();
    job.Update(LogProgress{20.0, std::nullopt});
    EXPECT_NEAR(*job.Now().percent, 100.0, 0.01);
}

// What a converter or the probe writes may be any number: one that is not finite, negative where
// it cannot be, or beyond any media gives no progress, never a share that is no number.
TEST(ProgressInLogTest, AbsurdNumbersFromAConverter) {
    for (const std::string absurd : {
             "time=1e308:-1e308:00.00 bitrate=1.0kbits/s speed=1x\r",
             "time=00:-1e308:1e308 bitrate=1.0kbits/s speed=1x\r",
             "time=00:99:00.00 bitrate=1.0kbits/s speed=1x\r",
             "time=00:00:75.00 bitrate=1.0kbits/s speed=1x\r",
             "time=99999999999:00:00.00 bitrate=1.0kbits/s speed=1x\r",
             "time=nan:00:00.00 bitrate=1.0kbits/s speed=1x\r",
             "time=1e400:00:00.00 bitrate=1.0kbits/s speed=1x\r",
             "out_time_us=1e300\n",
             "out_time_us=-9223372036854775807\n",
         }) {
        EXPECT_FALSE(ProgressInLog(absurd).position) << absurd;
    }
    for (const std::string speed : {"infx", "nanx", "1e300x", "-2x", "0x"}) {
        EXPECT_FALSE(ProgressInLog("time=00:00:01.00 bitrate=1 speed=" + speed + "\r").speed)
            << speed;
    }
    // The probe's lengths likewise.
    for (const std::string duration : {"1e308", "inf", "nan", "-5", "1e10"}) {
        EXPECT_FALSE(
            LengthsOf(ReadProbeAnswer("format_name=mp3\nduration=" + duration + "\n", true)).whole)
            << duration;
    }

    // Whatever is handed to a job's progress, every number it shows is finite and in range.
    const double nan = std::numeric_limits<double>::quiet_NaN();
    const double inf = std::numeric_limits<double>::infinity();
    for (const double duration : {nan, inf, 1e308, 0.0, -1.0, 1e-300, 10.0}) {
        JobProgressTracker job;
        job.Start(1);
        job.SetDuration(duration);
        job.LineStarted();
        for (const double position : {nan, -inf, 1e-300, 1e308, inf, 5.0}) {
            job.Update(LogProgress{position, position});
            job.Tick();
            const JobProgress now = job.Now();
            for (const std::optional<double>& number : {now.percent, now.linePercent, now.speed}) {
                if (number) {
                    EXPECT_TRUE(std::isfinite(*number)) << duration << " " << position;
                    EXPECT_GE(*number, 0.0);
                    EXPECT_LE(*number, 1e6);
                }
            }
            EXPECT_TRUE(std::isfinite(job.MediaDone()));
        }
    }
}

}  // namespace
}  // namespace palomix
