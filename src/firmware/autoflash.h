// Autoflash: a watched folder whose newest .bin file is written into every
// unit connected after it appeared. Files that are there when the watch
// starts are never written; a new file is written once it is 3 s old (its
// copying has finished); an unusable file is tried again on every scan
// until a newer one replaces it; files older than the newest seen are
// ignored.
#pragma once

#include "firmware/firmware_state.h"

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

namespace tq {

struct BinFile {
    std::string name;
    std::int64_t modified_us = 0; // modification time, microseconds since 1970
};

// The .bin files of a folder (the suffix in any letter case), directories
// left out; empty when the folder cannot be read.
std::vector<BinFile> list_bin_files(const std::string& folder);

// What a scan needs of the world.
struct AutoflashEnv {
    std::function<std::vector<BinFile>(const std::string& folder)> list = list_bin_files;
    // The system time, microseconds since 1970.
    std::function<std::int64_t()> now_us;
    // update_firmware in autoflash mode: 0 when the file was unusable.
    std::function<int()> update;
};

// A file must be at least this old before it is written.
inline constexpr std::int64_t kAutoflashSettleUs = 3'000'000;
// Scans are this far apart: listing a folder on every pass of the poll loop
// (every 35 ms or so) would cost more than the device polling itself, and a
// file already waits 3 s before it is written.
inline constexpr int kAutoflashScanIntervalMs = 500;

// Ctrl with at least one of Mod1, Mod3, Mod4 (not NumLock's Mod2), and f or F.
bool is_autoflash_key(unsigned keyval, unsigned state);

// Starts watching folder. The first time, the newest file already there is
// recorded so that it is not written.
void autoflash_arm(FirmwareState& firmware, const std::string& folder, const AutoflashEnv& env);

// One scan of the folder.
void autoflash_scan(FirmwareState& firmware, const AutoflashEnv& env);

// The poll loop's step: a scan when one is due.
void autoflash_step(FirmwareState& firmware, const AutoflashEnv& env);

} // namespace tq
