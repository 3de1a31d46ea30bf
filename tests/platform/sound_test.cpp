#include "platform/sound.h"
#include "support/temp_folder.h"

#include <gtest/gtest.h>
#include <sndfile.h>

#include <chrono>
#include <cmath>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <vector>

namespace tq {
namespace {

struct SoundFiles : ::testing::Test {
    // A 440 Hz tone of the given length.
    std::string write_tone(int ms, int rate = 8000, int channels = 1)
    {
        const std::string path = (dir / "tone.wav").string();
        SF_INFO info{};
        info.samplerate = rate;
        info.channels = channels;
        info.format = SF_FORMAT_WAV | SF_FORMAT_PCM_16;
        SNDFILE* f = sf_open(path.c_str(), SFM_WRITE, &info);
        EXPECT_NE(f, nullptr);
        const int frames = rate * ms / 1000;
        std::vector<short> samples(std::size_t(frames * channels));
        for (int i = 0; i < frames; ++i)
            for (int c = 0; c < channels; ++c)
                samples[std::size_t(i * channels + c)] = short(8000 * std::sin(i * 2 * M_PI * 440 / rate));
        sf_writef_short(f, samples.data(), frames);
        sf_close(f);
        return path;
    }

    test::TempFolder folder;
    std::filesystem::path dir = folder.path();
};

double seconds_to(const std::function<bool()>& f, bool& result)
{
    const auto start = std::chrono::steady_clock::now();
    result = f();
    return std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
}

TEST_F(SoundFiles, WholeSoundGoesToTheDevice)
{
    // The null device takes samples as fast as they come, so this shows the
    // decoding and the write loop, not the wait for the sound's end.
    for (const int channels : {1, 2}) {
        const std::string tone = write_tone(1500, 22050, channels);
        bool played = false;
        const double took = seconds_to([&] { return platform::play_wav_file(tone, "null"); }, played);
        EXPECT_TRUE(played) << channels;
        EXPECT_LT(took, 3.0);
    }
}

TEST_F(SoundFiles, NoSoundCardIsNotAnError)
{
    // The machine's default device (no card in a test container): the call
    // comes back either way, quickly when nothing can play.
    const std::string tone = write_tone(100);
    bool played = false;
    EXPECT_LT(seconds_to([&] { return platform::play_wav_file(tone); }, played), 5.0);
}

TEST_F(SoundFiles, UnreadableFilesAndMissingDevicesFailQuietlyAndQuickly)
{
    bool played = true;
    EXPECT_LT(seconds_to([&] { return platform::play_wav_file((dir / "none.wav").string(), "null"); }, played), 1.0);
    EXPECT_FALSE(played);

    const std::string junk = (dir / "junk.wav").string();
    std::ofstream(junk) << "RIFF this is not a sound";
    EXPECT_FALSE(platform::play_wav_file(junk, "null"));

    const std::string tone = write_tone(100);
    EXPECT_LT(seconds_to([&] { return platform::play_wav_file(tone, "no_such_device_here"); }, played), 2.0);
    EXPECT_FALSE(played);
    // Reported once; a second attempt goes just as quietly.
    EXPECT_FALSE(platform::play_wav_file(tone, "no_such_device_here"));
}

} // namespace
} // namespace tq
