#include "platform/secure_random.h"

#include <sys/random.h>

#include <cerrno>

namespace tq::platform {

bool secure_random(void* buffer, std::size_t length)
{
    auto* out = static_cast<unsigned char*>(buffer);
    while (length > 0) {
        const ssize_t n = getrandom(out, length, 0);
        if (n < 0) {
            if (errno == EINTR)
                continue;
            return false;
        }
        out += n;
        length -= std::size_t(n);
    }
    return true;
}

bool secure_random_u32(std::uint32_t& value) { return secure_random(&value, sizeof value); }

} // namespace tq::platform
