// The SLIP receiver fed with whatever the radio module's bridge returns, in
// reads of any size; every packet it hands out must encode back to what
// arrived.
#include "radio/slip.h"

#include <cstdint>
#include <vector>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    tq::SlipReceiver receiver;
    std::size_t at = 0;
    while (at < size) {
        // The first byte of each read gives its length (the bridge reads
        // at most 42 bytes at a time).
        const std::size_t n = std::min<std::size_t>(data[at] % 43, size - at - 1);
        receiver.feed(std::span<const std::uint8_t>(data + at + 1, n));
        at += n + 1;
        while (auto packet = receiver.take()) {
            const auto encoded = tq::slip_encode(*packet, packet->size() + 1);
            if (packet->empty() ? !encoded.empty() : encoded.back() != tq::kSlipEnd)
                __builtin_trap();
        }
        if (receiver.buffered() > tq::SlipReceiver::kLimit)
            __builtin_trap();
    }
    return 0;
}
