// The unit's replies that the modules read: the one-wire bus list and the
// AUX interface status. The input is the reply buffer: byte 0 the count,
// byte 1 the reply code, then the payload; reply_length follows from the
// count as the frame receiver sets it.
#include "link/link.h"
#include "modules/aux_status.h"
#include "modules/onewire.h"

#include <algorithm>
#include <cstdint>
#include <cstring>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    if (size < 2)
        return 0;
    tq::LinkState link;
    const std::size_t n = std::min(size, link.reply.size());
    std::memcpy(link.reply.data(), data, n);
    link.reply_length = data[0] + 2;

    std::array<tq::OneWireId, tq::kMaxBusDevices> found;
    const int count = tq::parse_bus_list(link.reply.data(), link.reply_length, found);
    if (count < 0 || count > tq::kMaxBusDevices)
        __builtin_trap();

    tq::AuxInterfaceState s;
    if (auto status = tq::decode_aux_status(link)) {
        const tq::AuxView v = tq::aux_view(*status, s);
        if (v.mode < tq::kAuxReady || v.mode > tq::kAuxNotResponding)
            __builtin_trap();
    }
    return 0;
}
