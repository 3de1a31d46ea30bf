// The connection step: finds the programmer, waits for the alarm unit behind
// it, identifies the unit and, once connected, hands each polled reply to
// the periodic steps of the open tool windows. Plain code: everything it
// shows or asks goes through a ConnectionView.
#pragma once

#include "connection/connection_state.h"
#include "link/link.h"

#include <cstdint>
#include <functional>
#include <string>

namespace tq {

// What the connection step shows, asks and hands on. The main window is one,
// the command-line session another; each member does nothing unless the
// view has something to do there.
class ConnectionView {
public:
    virtual ~ConnectionView() = default;

    virtual void set_status(const std::string&) {}
    virtual void set_hardware(const std::string&) {}
    virtual void set_serial(const std::string&) {}
    // The CAN-analyzer search and removal question; true when the search is
    // done (false: run it again on the next pass).
    virtual bool can_analyzer_check() { return true; }
    // A bare bootloader was found (the handle is already closed).
    virtual void bootloader_found() {}
    // The unit is refused; the text says why.
    virtual void unit_refused(const std::string&) {}
    // The unit is identified: build the pages and read its configuration.
    virtual void unit_identified() {}
    // The device went away: tear down what belonged to the connection.
    virtual void disconnected() {}
    // State 16: the periodic steps of the open tool windows.
    virtual void periodic_steps() {}
};

// Hardware types: bit 30 model 512, bit 31 model 511, low 16 bits the text
// row of the display name (0: show the number).
std::uint32_t hardware_type_entry(int type);

// What the hardware-type query found: a type this program serves, no
// answer (ask again later), or a type it refuses.
enum class HardwareQuery { Supported, NoAnswer, Refused };
HardwareQuery query_hardware_type(LinkState& link, ConnectionState& c, ConnectionView& view);

// What a version reply led to: identification waits for the hardware type
// (Later), the unit is identified, or it is refused.
enum class Identification { Later, Identified, Refused };
Identification identify_unit(LinkState& link, ConnectionState& c, ConnectionView& view);

// One pass of the connection step; true when the loop should start its next
// iteration at once.
bool connection_step(LinkState& link, ConnectionState& c, ConnectionView& view);

// No device and state not 0: back to searching.
void disconnect_reset(ConnectionState& c, ConnectionView& view);

// The driver message for a CAN-analyzer unit without a bound driver.
std::string can_driver_message();
// The message for a CAN-analyzer port that could not be opened: the fix for
// a missing permission, else the system's reason.
std::string can_port_refused_message(const std::string& port, int error);

// The search's CAN-analyzer check: looks for a unit running CAN-analyzer
// firmware; shows the driver message, or why its port could not be opened
// (once per plug-in), through show; asks through ask
// whether to remove the firmware and, on yes, sends "zzz" and releases the
// port. Returns true when the check is done, false when it must run again
// on the next pass (after a removal).
bool check_can_analyzer(SerialState& s, const std::function<bool(const std::string&)>& ask,
                        const std::function<void(const std::string&)>& show);

// "TQ%d-%02d%02d".
std::string model_string(int model, int major, int minor);

} // namespace tq
