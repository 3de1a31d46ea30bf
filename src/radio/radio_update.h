// Radio module firmware transfer: switching the module to its bootloader,
// the .ble loader (7-bit chunks, erase, save, reset) and nRF Secure DFU over
// SLIP through the bridge buffers. Plain code; progress is reported through
// a callback so that a window (or a test) can show it.
#pragma once

#include "link/link.h"
#include "radio/dfu_package.h"
#include "radio/radio_state.h"
#include "radio/slip.h"

#include <array>
#include <cstdint>
#include <functional>
#include <span>
#include <string>
#include <vector>

namespace tq {

// Progress text and fraction (0..1).
using RadioProgress = std::function<void(const std::string& text, double fraction)>;

// Mode 0 for a file update, 1 for the wireless update. 0 once the module
// reports its bootloader, -1 otherwise. Refreshes radio.chipset.
int switch_radio_boot_mode(LinkState& link, RadioState& radio, int mode);

// .ble loader.
inline constexpr std::size_t kBleChunk = 32;
// The 46-byte bridge write of the chunk at offset q of the payload. A last
// chunk that runs past the payload is filled with 0xFF, the value of erased
// flash. sum receives the chunk sum the loader answers with.
std::array<std::uint8_t, 46> ble_chunk_packet(std::span<const std::uint8_t> payload, std::size_t q,
                                              unsigned* sum = nullptr);
inline constexpr std::array<std::uint8_t, 2> kBleErase = {0x60, 0xE0};
inline constexpr std::array<std::uint8_t, 2> kBleSave = {0x00, 0x80};
// 1 when the loader answered "OK", else 0.
int send_ble_control(LinkState& link, std::array<std::uint8_t, 2> control);
// 0 success, 1 failure. file is the whole .ble file (magic included).
int send_ble_image(LinkState& link, std::span<const std::uint8_t> file, const RadioProgress& progress);

// SLIP through the bridge: transmit pieces of at most 84 encoded bytes,
// halves into buffers 0xCB and 0xCF; responses read from 0xBC.
struct SlipChannel {
    LinkState& link;
    SlipReceiver receiver;
    // A piece whose acknowledges do not come is sent at most this often.
    int piece_sends = 10;
    int receive_timeout_ms = 4000;
    // The channel's last request was answered and its answer taken, so
    // nothing can be pending on the link before the next one.
    bool answered = false;
};
// 0 sent, 1 programmer lost or a piece never acknowledged.
int slip_send(SlipChannel& ch, std::span<const std::uint8_t> bytes, std::size_t packet_size);
// Length of the response packet put into out, or -1 after the time-out.
int slip_receive(SlipChannel& ch, std::vector<std::uint8_t>& out);

inline constexpr std::uint8_t kDfuCommandObject = 1;
inline constexpr std::uint8_t kDfuDataObject = 2;
inline constexpr std::size_t kDfuObjectSize = 4096;

enum DfuResult : int { kDfuOk = 0, kDfuFailed = 1, kDfuVerifyFailed = 2, kDfuRepeat = 3 };
int send_dfu_object(SlipChannel& ch, std::uint8_t type, std::span<const std::uint8_t> data,
                    std::uint32_t offset, bool skip_checks, std::uint32_t total,
                    const RadioProgress& progress);
// 0 success, 1 failure.
int send_dfu_package(SlipChannel& ch, const DfuPackage& package, const RadioProgress& progress);

// The whole file update once the file has been checked: boot mode, chipset
// check, transfer, leave radio mode. Returns the result text.
enum class RadioFileKind { Ble, Package };
std::string run_radio_file_update(LinkState& link, RadioState& radio, RadioFileKind kind,
                                  std::span<const std::uint8_t> file, const RadioProgress& progress);

// The file kind by its name: ".ble" (exactly, lower case) or a package;
// nullopt for a name of four characters or fewer.
std::optional<RadioFileKind> radio_file_kind(std::string_view name);
// The file passes the rules of its kind.
bool radio_file_valid(RadioFileKind kind, std::span<const std::uint8_t> file);

} // namespace tq
