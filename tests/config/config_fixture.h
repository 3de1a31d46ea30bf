// A configuration record for one simulated unit, and helpers to picture its
// memory.
#pragma once

#include "config/config_io.h"
#include "config/config_state.h"
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
