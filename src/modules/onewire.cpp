#include "modules/onewire.h"

#include <cstdio>
#include <cstring>

namespace tq {

OneWireId pseudo_identifier(PseudoModule m)
{
    const char* tag = m == PseudoModule::AuxFortin ? "ZORVO" : "ZORVN";
    const std::uint8_t kind = m == PseudoModule::AuxFortin ? 0x7C
                              : m == PseudoModule::CableLoom ? 0x00
                                                             : 0x10;
    OneWireId id{};
    id[0] = kFamilyCutoff;
    std::memcpy(id.data() + 1, tag, 5);
    id[6] = kind;
    id[7] = crc8_maxim(id.data(), 7);
    return id;
}

std::string id_hex(const OneWireId& id)
{
    char text[17];
    for (std::size_t i = 0; i < id.size(); ++i)
        std::snprintf(text + 2 * i, 3, "%02X", id[i]);
    return std::string(text, 16);
}

int parse_bus_list(const std::uint8_t* reply, int reply_length,
                   std::array<OneWireId, kMaxBusDevices>& out)
{
    out.fill(kNoId);
    if (reply_length <= 9)
        return 0;
    // Reply buffer: count, code, payload..., checksum.
    const int payload_length = reply_length - 3;
    int count = 0;
    for (int start = 4; start < reply_length - 2 && count < kMaxBusDevices; start += 12) {
        if (start - 2 + 8 > payload_length)
            break; // a cut-off entry carries no whole identifier
        std::memcpy(out[std::size_t(count)].data(), reply + start, 8);
        ++count;
    }
    return count;
}

} // namespace tq
