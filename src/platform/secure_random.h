// Random numbers from the kernel's cryptographically secure source.
#pragma once

#include <cstddef>
#include <cstdint>

namespace tq::platform {

// Fills buffer with secure random bytes; false when the source failed.
bool secure_random(void* buffer, std::size_t length);
// One secure random 32-bit number; false when the source failed.
bool secure_random_u32(std::uint32_t& value);

} // namespace tq::platform
