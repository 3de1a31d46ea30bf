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

// What the module's bootloader is started for; the value is the byte the
// module is sent.
enum class RadioBootMode : std::uint8_t { File = 0, Wireless = 1 };
// True once the module reports its bootloader. Refreshes radio.chipset.
bool switch_radio_boot_mode(LinkState& link, RadioState& radio, RadioBootMode mode);

// .ble loader.
inline constexpr std::size_t kBleChunk = 32;
// The 46-byte bridge write of the chunk at offset q of the payload. A last
// chunk that runs past the payload is filled with 0xFF, the value of erased
// flash. sum receives the chunk sum the loader answers with.
std::array<std::uint8_t, 46> ble_chunk_packet(std::span<const std::uint8_t> payload, std::size_t q,
                                              unsigned* sum = nullptr);
inline constexpr std::array<std::uint8_t, 2> kBleErase = {0x60, 0xE0};
inline constexpr std::array<std::uint8_t, 2> kBleSave = {0x00, 0x80};
// True when the loader answered "OK".
bool send_ble_control(LinkState& link, std::array<std::uint8_t, 2> control);
// True when the module took, erased and saved the whole image. file is the
// whole .ble file (magic included).
bool send_ble_image(LinkState& link, std::span<const std::uint8_t> file, const RadioProgress& progress);

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
// True when every piece was acknowledged; false when the programmer was lost
// or a piece never was.
bool slip_send(SlipChannel& ch, std::span<const std::uint8_t> bytes, std::size_t packet_size);
// True when a response packet came and was put into out; false after the
// time-out (out is then left as it was).
bool slip_receive(SlipChannel& ch, std::vector<std::uint8_t>& out);

// The DFU object types; the value is the type byte on the wire.
enum class DfuObject : std::uint8_t { Command = 1, Data = 2 };
inline constexpr std::size_t kDfuObjectSize = 4096;

enum class DfuResult {
    Ok,
    Failed,       // no answer, or an answer that refuses
    VerifyFailed, // the target refused to execute the object
    Repeat,       // the target holds a different offset or checksum: send the object again
};
DfuResult send_dfu_object(SlipChannel& ch, DfuObject type, std::span<const std::uint8_t> data,
                          std::uint32_t offset, bool skip_checks, std::uint32_t total,
                          const RadioProgress& progress);
// True when the target took the init packet and the whole image.
bool send_dfu_package(SlipChannel& ch, const DfuPackage& package, const RadioProgress& progress);

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
