#include "platform/sound.h"

#include <alsa/asoundlib.h>
#include <sndfile.h>

#include <chrono>
#include <cstdio>
#include <thread>
#include <vector>

namespace tq::platform {
namespace {

constexpr int kStallMs = 2000;          // a device that takes nothing for this long is given up
constexpr unsigned kLatencyUs = 200000; // ALSA buffer of about 0.2 s

void report_once(const std::string& device, const char* what, int err)
{
    static bool reported = false;
    if (reported)
        return;
    reported = true;
    std::fprintf(stderr, "sound: %s on \"%s\" failed (%s); message sounds stay silent\n", what,
                 device.c_str(), snd_strerror(err));
}

// alsa-lib prints its own complaint on every failed open; ours, once, is
// enough.
void quiet_alsa_errors(const char*, int, const char*, int, const char*, ...) {}

struct Pcm {
    snd_pcm_t* pcm = nullptr;
    ~Pcm()
    {
        if (pcm)
            snd_pcm_close(pcm);
    }
};

struct SoundFile {
    SNDFILE* file = nullptr;
    ~SoundFile()
    {
        if (file)
            sf_close(file);
    }
};

// Writes interleaved frames; false when the device stalls or fails.
bool write_frames(snd_pcm_t* pcm, const short* data, sf_count_t frames, int channels)
{
    while (frames > 0) {
        const snd_pcm_sframes_t n = snd_pcm_writei(pcm, data, snd_pcm_uframes_t(frames));
        if (n == -EAGAIN) {
            if (snd_pcm_wait(pcm, kStallMs) <= 0 && snd_pcm_avail_update(pcm) <= 0)
                return false;
            continue;
        }
        if (n < 0) {
            if (snd_pcm_recover(pcm, int(n), 1) < 0)
                return false;
            continue;
        }
        data += n * channels;
        frames -= n;
    }
    return true;
}

// Waits until what was written has sounded, at most the queued time plus
// the stall bound.
void drain(snd_pcm_t* pcm, unsigned rate)
{
    snd_pcm_sframes_t queued = 0;
    if (snd_pcm_delay(pcm, &queued) < 0 || queued < 0)
        queued = 0;
    const auto deadline = std::chrono::steady_clock::now() +
                          std::chrono::milliseconds(queued * 1000 / rate + kStallMs);
    const int err = snd_pcm_drain(pcm);
    if (err == 0 || err != -EAGAIN)
        return;
    while (snd_pcm_state(pcm) == SND_PCM_STATE_DRAINING &&
           std::chrono::steady_clock::now() < deadline)
        std::this_thread::sleep_for(std::chrono::milliseconds(5));
}

} // namespace

bool play_wav_file(const std::string& path, const std::string& device)
{
    SF_INFO info{};
    SoundFile sound;
    sound.file = sf_open(path.c_str(), SFM_READ, &info);
    if (!sound.file || info.channels < 1 || info.channels > 16 || info.samplerate < 1000 ||
        info.samplerate > 384000)
        return false;

    static const bool quiet = [] {
        snd_lib_error_set_handler(quiet_alsa_errors);
        return true;
    }();
    (void)quiet;
    Pcm out;
    // Opened without blocking so that a busy device cannot hold the program.
    int err = snd_pcm_open(&out.pcm, device.c_str(), SND_PCM_STREAM_PLAYBACK, SND_PCM_NONBLOCK);
    if (err < 0) {
        out.pcm = nullptr;
        report_once(device, "opening the sound device", err);
        return false;
    }
    err = snd_pcm_set_params(out.pcm, SND_PCM_FORMAT_S16, SND_PCM_ACCESS_RW_INTERLEAVED,
                             unsigned(info.channels), unsigned(info.samplerate), 1, kLatencyUs);
    if (err < 0) {
        report_once(device, "setting up the sound device", err);
        return false;
    }

    std::vector<short> buffer(std::size_t(4096) * std::size_t(info.channels));
    for (;;) {
        const sf_count_t frames = sf_readf_short(sound.file, buffer.data(), 4096);
        if (frames <= 0)
            break;
        if (!write_frames(out.pcm, buffer.data(), frames, info.channels)) {
            snd_pcm_drop(out.pcm);
            return false;
        }
    }
    drain(out.pcm, unsigned(info.samplerate));
    return true;
}

} // namespace tq::platform
