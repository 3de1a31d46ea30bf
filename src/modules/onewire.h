// One-wire identifiers: the ROM CRC, the unit's built-in pseudo modules,
// hex text, and the bus device list the unit reports.
#pragma once

#include "link/crc8.h"
#include "modules/modules_state.h"

#include <array>
#include <cstddef>
#include <cstdint>
#include <string>

namespace tq {

// Modules built into the unit, known by fixed identifiers.
enum class PseudoModule { AuxFortin, CableLoom, AuxModule };
OneWireId pseudo_identifier(PseudoModule m);

// 16 upper-case hex digits in stored order.
std::string id_hex(const OneWireId& id);

inline constexpr std::uint8_t kFamilyBrevan = 0xA1;
inline constexpr std::uint8_t kFamilySolvek = 0xA0;
inline constexpr std::uint8_t kFamilyCutoff = 0xA7;

// The identifiers of a bus device list reply (reply buffer and its length):
// entries of 12 bytes from payload byte 2, each starting with its
// identifier. Only entries whose identifier lies wholly inside the payload
// count, at most kMaxBusDevices; the rest of out is filled with kNoId.
// Returns the number of entries.
int parse_bus_list(const std::uint8_t* reply, int reply_length,
                   std::array<OneWireId, kMaxBusDevices>& out);

} // namespace tq
