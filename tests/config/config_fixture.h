// A configuration record for one simulated unit, and helpers to picture its
// memory.
#pragma once

#include "config/config_io.h"
#include "config/config_state.h"
#include "config/memory_map.h"
#include "config/record.h"
#include "support/sim_link.h"

#include <cstring>
#include <initializer_list>
#include <string>
#include <vector>

namespace tq::test {

using Bytes = std::vector<std::uint8_t>;

// A unit of model M and version word V behind a simulated programmer, and
// the record the settings pages would edit for it.
struct ConfiguredUnit : SimLink {
    ConfiguredUnit(int model, int version)
    {
        sim::UnitIdentity& id = programmer.unit.identity;
        id.model = model;
        id.major = version / 256;
        id.minor = version % 256;
        open();
        begin_config_session(config, UnitKind{model, version});
        config.hooks.message = [this](const std::string& m) { messages.push_back(m); };
    }

    void poke(int address, std::initializer_list<std::uint8_t> bytes)
    {
        for (std::uint8_t b : bytes)
            programmer.unit.memory[std::size_t(address++)] = b;
    }
    void poke_text(int address, int slot, const char* text)
    {
        std::memset(programmer.unit.memory.data() + address, 0, std::size_t(slot));
        std::memcpy(programmer.unit.memory.data() + address, text, std::strlen(text));
    }
    // A text value (TQPIN, SIM PIN, phone number) in its bytes of this
    // unit's memory, zero-padded.
    void poke_text(Field f, const char* text)
    {
        const MemoryRow* row = memory_row(f, config.unit);
        poke_text(row->address + row->offset, row->length, text);
    }
    // Zeroes the bytes of every value that this unit does not store in the
    // blocks it has: a save writes them as 0.
    void clear_what_the_unit_lacks()
    {
        for (const MemoryRow& row : memory_rows()) {
            if (!stores(row, config.unit) && has_block(*memory_block(row.address), config.unit))
                std::memset(programmer.unit.memory.data() + row.address + row.offset, 0,
                            std::size_t(row.length));
        }
    }
    Bytes peek(int address, int length) const
    {
        return Bytes(programmer.unit.memory.begin() + address,
                     programmer.unit.memory.begin() + address + length);
    }
    std::string last_message() const { return messages.empty() ? "" : messages.back(); }

    ConfigState config;
    std::vector<std::string> messages;
};

} // namespace tq::test
