// Reading and writing blocks of the unit's memory, every write verified by
// reading it back. Units before firmware 4.30 (version word 1054) address
// only 512..1023 with one byte; later ones take 16-bit addresses.
#pragma once

#include "link/link.h"

#include <cstdint>
#include <span>

namespace tq {

inline constexpr int kFirstLongAddressingVersion = 1054;

// 0 when the block arrived: its bytes are then at reply byte 4 on (payload
// byte 2) in both forms. 1 after ten unanswered attempts.
int read_block(LinkState& link, int firmware_version, int address, int length);

// 0 when the unit's read-back equals what was written, non-zero otherwise.
// A unit that addresses only 512..1023 has nothing beyond that range to
// write; such a block is skipped and reported as written (0).
int write_block(LinkState& link, int firmware_version, int address,
                std::span<const std::uint8_t> data);

} // namespace tq
