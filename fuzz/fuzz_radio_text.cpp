// The radio module's reply text: line acceptance and the records read from
// reply data (version, identifier, device record, event, list state).
#include "radio/radio_text.h"

#include <cstdint>
#include <string_view>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    if (size == 0)
        return 0;
    const std::string_view text(reinterpret_cast<const char*>(data + 1), size - 1);
    if (const auto line = tq::accept_radio_reply(text, data[0]))
        if (line->size() + 6 > text.size())
            __builtin_trap();
    tq::parse_radio_version(text);
    tq::parse_radio_identifier(text);
    if (const auto row = tq::parse_device_record(text))
        if (row->columns < 0 || row->columns > 5)
            __builtin_trap();
    tq::parse_radio_event(text);
    if (const auto list = tq::parse_list_state(text))
        if (list->count < 0 || list->count > tq::kRadioSlots)
            __builtin_trap();
    if (tq::parse_heard_slots(text) >> tq::kRadioSlots)
        __builtin_trap();
    tq::parse_radio_query(text);
    const auto b = tq::row_buttons(data[0] % 8, data[0] % 7, size > 1 ? data[1] : 0, data[0] & 1);
    if (b.cells.size() > 5)
        __builtin_trap();
    return 0;
}
