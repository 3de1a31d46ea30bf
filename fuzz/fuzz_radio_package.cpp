// The radio firmware package reader fed with any file: the zip directory
// walk, the entry bounds and CRC checks and the manifest rules must refuse
// what is wrong without reading outside the file.
#include "radio/dfu_package.h"

#include <cstdint>
#include <span>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    const std::span<const std::uint8_t> file(data, size);
    if (const auto package = tq::read_dfu_package(file)) {
        // What is accepted lies inside the file and meets the size rules.
        const auto inside = [&](std::span<const std::uint8_t> s) {
            return s.data() >= data && s.data() + s.size() <= data + size;
        };
        if (!inside(package->init) || !inside(package->image) ||
            package->init.size() < tq::kMinInitPacket || package->image.size() < tq::kMinImage)
            __builtin_trap();
    }
    tq::find_stored_entry(file, "manifest.json");
    return 0;
}
