// Message sounds: a sound file played to the end before the call returns.
#pragma once

#include <string>

namespace tq::platform {

// Plays a WAV file (anything libsndfile reads) on an ALSA playback device and
// returns once it has sounded. False when the file cannot be read or no
// device can play it; a missing device is reported once on the standard
// error stream and never stops the program. Every wait is bounded by the
// sound's own length plus a few seconds.
bool play_wav_file(const std::string& path, const std::string& device = "default");

} // namespace tq::platform
