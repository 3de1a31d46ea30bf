// The module bridge of the alarm unit (link commands 0x86 write and 0x87
// read into buffers of the radio module) and, on it, the radio text
// commands, entering and leaving the unit's radio mode and the radio
// information block.
#pragma once

#include "link/link.h"
#include "radio/radio_state.h"

#include <cstddef>
#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

namespace tq {

inline constexpr std::uint8_t kSeqFirst = 0x00;
inline constexpr std::uint8_t kSeqRepeat = 0x30;

// Buffers of the bridge.
inline constexpr std::uint8_t kBufRequest = 0xBB;    // request lines, .ble chunks
inline constexpr std::uint8_t kBufReply = 0xBC;      // reply text, .ble answers, SLIP replies
inline constexpr std::uint8_t kBufBootStatus = 0xBD;
inline constexpr std::uint8_t kBufReset = 0xC0;
inline constexpr std::uint8_t kBufBootMode = 0xC1;
inline constexpr std::uint8_t kBufSlipFirst = 0xCB;
inline constexpr std::uint8_t kBufSlipSecond = 0xCF;
inline constexpr std::uint8_t kBufInfo = 0xF0;

// Payload of a bridge write: sequence, buffer, N, 0xFF, the N bytes.
std::vector<std::uint8_t> bridge_write_payload(std::uint8_t seq, std::uint8_t buffer,
                                               std::span<const std::uint8_t> data);

// What may be waiting on the link before a request. Maybe: replies are
// drained first (the usual way, and always at the start of a sequence or
// after a request went unanswered). None: the previous request of the same
// sequence was answered and taken, so the request goes out at once; a drain
// there would only cost a read time-out.
enum class Pending : bool { Maybe, None };
// A whole bridge request: code 0x86 or 0x87 and its payload.
bool bridge_send(LinkState& link, std::uint8_t code, std::span<const std::uint8_t> payload,
                 Pending pending);
bool bridge_write(LinkState& link, std::uint8_t seq, std::uint8_t buffer,
                  std::span<const std::uint8_t> data, Pending pending = Pending::Maybe);
bool bridge_read(LinkState& link, std::uint8_t seq, std::uint8_t buffer, std::uint8_t length,
                 Pending pending = Pending::Maybe);

// The reply in link.reply is the unit's busy answer (0x01: 0xFE, 0xFF).
bool is_busy_reply(const LinkState& link);
// The acknowledge of a write: 0x01: sequence, buffer, N, 0x01.
bool is_write_ack(const LinkState& link, std::uint8_t seq, std::uint8_t buffer, std::uint8_t n);
// A read reply: 0x01: sequence, buffer, length, status, count C, C bytes.
// Only the bytes that really arrived are returned (C is never trusted
// beyond the frame).
struct BridgeData {
    std::uint8_t status = 0;
    std::span<const std::uint8_t> bytes;
};
std::optional<BridgeData> bridge_read_reply(const LinkState& link, std::uint8_t seq,
                                            std::uint8_t buffer, std::uint8_t length);

// Sends one request line and reads the reply line. True when the module
// answered; reply then holds the reply data (from the line's fifth
// character, CRC cut off), or, for code 0xFF, the raw received text. Works
// only while the radio path is open (window, its placeholder or remote
// access); fails at once otherwise and as soon as the path closes. Sets
// radio.busy when the unit reports the module busy.
bool radio_command(LinkState& link, RadioState& radio, std::uint8_t code, std::string_view data,
                   std::string& reply);
bool radio_command(LinkState& link, RadioState& radio, std::uint8_t code,
                   const std::uint8_t* data, std::size_t length, std::string& reply);
// Sends the request line once and waits only for the write acknowledge.
bool radio_command_ack_only(LinkState& link, RadioState& radio, std::uint8_t code,
                            std::string_view data);

// True once the unit has handed the module over; false when it stays busy
// with remote commands.
bool enter_radio_mode(LinkState& link);
// Resets the radio module and returns the unit to normal radio operation.
void leave_radio_mode(LinkState& link);

// The 16-byte information block: a version text in bytes 0..14 and the
// chipset digit in byte 15, which is taken into radio.chipset (0 when it is
// no digit) and replaced by NUL. True when the block came.
bool read_radio_info_block(LinkState& link, RadioState& radio, std::array<std::uint8_t, 16>& out);
// The version text of an information block ("" when byte 0 is 0).
std::string info_block_version(const std::array<std::uint8_t, 16>& block);

} // namespace tq
