#include "sim/demo.h"

#include "sim/demo_config.h"
#include "sim/onewire_bus.h"
#include "sim/radio_module_sim.h"
#include "sim/usb_bootloader.h"
#include "sim/unit_monitor.h"

namespace tq::sim {

std::unique_ptr<Programmer> make_demo_programmer()
{
    auto programmer = std::make_unique<Programmer>(Variant::Programmer64);
    UnitIdentity& id = programmer->unit.identity;
    id.model = 512;
    id.major = 4;
    id.minor = 81; // version word 1105, the newest firmware this program knows
    id.hardware_family = 6;
    id.hardware_type = 11; // NORDAVEL TQ512
    id.serial = 4711;
    fill_demo_configuration(programmer->unit);
    install_demo_onewire_bus(programmer->unit);
    install_demo_radio(*programmer);
    attach_bootloader(*programmer); // "Firmware update" restarts it into its bootloader
    add_monitor_demo(programmer->unit);
    return programmer;
}

} // namespace tq::sim
