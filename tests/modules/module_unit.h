// A simulated unit with a one-wire bus, and a module list wired to it with
// a view that records what the windows would be asked to do.
#pragma once

#include "config/config_state.h"
#include "link/commands.h"
#include "modules/module_list.h"
#include "modules/onewire.h"
#include "sim/onewire_bus.h"
#include "support/sim_link.h"
#include "text/texts.h"

#include <cstring>
#include <memory>
#include <string>
#include <vector>

namespace tq::test {

using Bytes = std::vector<std::uint8_t>;

inline OneWireId to_id(const sim::Id& id) { return id; }

struct ModuleUnit : SimLink {
    std::shared_ptr<sim::OneWireBus> bus;
    ModulesState m;
    int fw = 0;

    std::vector<std::string> messages;
    std::vector<int> changed_rows;
    std::vector<int> closed_rows;
    std::vector<std::string> aux_texts;
    int refreshes = 0;

    // The windows around the list, as a recorder; a refresh reads the list
    // again as the window does.
    struct Windows final : ModuleListView {
        ModuleUnit* u = nullptr;
        bool refresh() override
        {
            const int r = load_module_list(u->m, u->link, u->fw);
            if (r)
                u->messages.push_back(text(r));
            if (r && r != kTextNoDevices)
                return false;
            build_module_rows(u->m);
            ++u->refreshes;
            return true;
        }
        void message(const std::string& t) override { u->messages.push_back(t); }
        void row_changed(int row) override { u->changed_rows.push_back(row); }
        void close_row_window(int row) override { u->closed_rows.push_back(row); }
    } windows;

    // The settings pages' record, whose AUX row records each text it shows.
    struct AuxRow final : ConfigView {
        ModuleUnit* u = nullptr;
        void field_changed(Field) override {}
        void save_mark_changed() override {}
        void vehicle_changed() override {}
        void aux_text_changed() override { u->aux_texts.push_back(u->config.aux_text); }
        void sim_pin_row_changed() override {}
    } aux_row;
    ConfigState config;

    ModuleUnit()
    {
        sim::AlarmUnit& u = unit();
        u.identity.major = 4;
        u.identity.minor = 81;
        fw = u.identity.firmware_version();
        bus = sim::install_onewire_bus(u);
        // A unit with nothing stored: empty identifiers, mode bytes 0.
        std::memset(u.memory.data() + 612, 0xFF, 8);
        std::memset(u.memory.data() + 1012, 0xFF, 32);
        std::memset(u.memory.data() + 1052, 0xFF, 16);
        open();

        windows.u = this;
        m.view = &windows;
        aux_row.u = this;
        config.view = &aux_row;
        m.config = &config;
    }

    sim::AlarmUnit& unit() { return programmer.unit; }

    // How often the unit was returned to normal radio operation.
    int radio_left() const
    {
        int n = 0;
        for (const auto& f : programmer.unit.received)
            n += f.code == cmd::kRadioAccessEnd;
        return n;
    }

    // Opens the list as the window does; the message text row or 0.
    int open_list()
    {
        const int r = load_module_list(m, link, fw);
        if (r == 0 || r == kTextNoDevices)
            build_module_rows(m);
        return r;
    }

    void store(int address, const sim::Id& id) { sim::store_id(unit(), address, id); }
    void mode(int address, std::uint8_t value) { unit().memory[std::size_t(address)] = value; }

    Bytes written_at(int address) const
    {
        for (const auto& w : programmer.unit.writes)
            if (w.address == address)
                return w.bytes;
        return {};
    }
    std::vector<int> write_addresses() const
    {
        std::vector<int> a;
        for (const auto& w : programmer.unit.writes)
            a.push_back(w.address);
        return a;
    }
};

} // namespace tq::test
