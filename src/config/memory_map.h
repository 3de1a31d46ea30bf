// The unit's memory as the configuration record uses it: the blocks the
// record occupies, and for every value the block and bytes that hold it, how
// those bytes encode it and which units store it there. Load, save, the
// references a verified write sets and the values a save writes back as the
// unit held them are all walks over these two tables.
#pragma once

#include "config/fields.h"

#include <climits>
#include <cstdint>
#include <span>

namespace tq {

// Blocks every unit has in the same place. The phone slots move with the
// firmware; memory_row() finds them.
inline constexpr int kBlockA = 512;
inline constexpr int kBlockB = 524;
inline constexpr int kCanLevelLowByte = 528;  // extended CAN level, low byte
inline constexpr int kCanLevelHighByte = 535; // and its high byte
inline constexpr int kSmsBlock = 536;
inline constexpr int kTqpinBlock = 548;
inline constexpr int kBlockC = 710;
inline constexpr int kSimPinBlock = 716;
inline constexpr int kBlockD = 1095;

inline constexpr int kAnyFirmware = INT_MAX;

enum class BlockUse {
    Always,      // read by every load, written by every save
    LevelEscape, // written by every save; read only when byte 513 escapes to it
    Revealed,    // read by every load; written once its row has been revealed
};

struct MemoryBlock {
    int address;
    int length;
    int first = 0;            // first firmware version that has the block
    int last = kAnyFirmware;  // last one
    BlockUse use = BlockUse::Always;
};

// How a value's bytes hold it.
enum class Codec {
    Byte,            // the byte is the value; a load clamps it with max/above_max
    CanLevel,        // byte 513: level - 1 for levels 1..254, 255 for level 0, the
                     // escape 254 from level 255 on (the level then is in 528/535)
    CanLevelLow,     // the extended level's low byte: level - 1 from 254 on, else 0
    CanLevelHigh,    // and its high byte
    RemoteOperation, // as Byte, but the smaller unit stores its second option as 3
    Siren,           // as Byte, but the third option is stored as 3
    Decimal,         // an entry of decimal text, 0..255
    PhoneCalls,      // a phone's TEL and SMS bits (bits p-1 and p+2); 0 beyond the phone count
    PhoneAuthorised, // a phone's AP bit (bit p-1); 0 beyond the phone count
    Voltage,         // the low-battery threshold in 0.12 V steps, by the supply selection
    Digits,          // a PIN: its characters, then zeros
    PhoneNumber,     // a phone slot: the number as stored, zero-padded; empty beyond the count
    VehicleKey,      // the chosen model's key, high byte first
};

// One value of the record in the unit's memory. A unit outside first..last,
// or the smaller unit for a large_only value, does not store it: a save
// writes its bytes as 0 and a load leaves its control alone, unless
// shown_anyway, where the control still shows what the memory holds there.
struct MemoryRow {
    Field field; // for PhoneCalls the phone's TEL field; for VehicleKey the CAN level
    int address;
    int offset;
    int length;
    Codec codec;
    int first = 0;
    int last = kAnyFirmware;
    bool large_only = false;
    bool shown_anyway = false;
    // Byte and RemoteOperation: a loaded byte above max counts as above_max.
    std::uint8_t max = 0xFF;
    std::uint8_t above_max = 0;
    // Digits: how many bytes hold the text.
    int characters = 0;
};

// The blocks in the order a save writes them (and a load reads them).
std::span<const MemoryBlock> memory_blocks();
// The values, block by block, each block's in the order a load shows them.
std::span<const MemoryRow> memory_rows();

// The block at an address of the table; nullptr for any other address.
const MemoryBlock* memory_block(int address);

bool has_block(const MemoryBlock& b, UnitKind u);
bool stores(const MemoryRow& r, UnitKind u);

// The row that holds a field's value in this unit's memory (the first, for
// the CAN level); nullptr when the unit does not store it.
const MemoryRow* memory_row(Field f, UnitKind u);

// Whether the unit keeps levels from 255 on in bytes 528/535.
bool has_extended_can_level(UnitKind u);

} // namespace tq
