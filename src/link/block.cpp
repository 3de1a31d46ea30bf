#include "link/block.h"

#include "link/commands.h"
#include "link/frame.h"

#include <algorithm>
#include <cstring>
#include <vector>

namespace tq {
namespace {

constexpr int kReadAttempts = 10;
constexpr int kPollsPerReadAttempt = 10;
constexpr int kWritePolls = 50;
constexpr int kRadioIdAddress = 612;

bool short_form(int firmware_version, int address)
{
    return firmware_version < kFirstLongAddressingVersion || address == kRadioIdAddress;
}

} // namespace

int read_block(LinkState& link, int firmware_version, int address, int length)
{
    if (length < 0 || length > 255)
        return 1;
    const bool is_short = firmware_version < kFirstLongAddressingVersion;
    const std::uint8_t short_request[2] = {std::uint8_t(address & 0xFF), std::uint8_t(length)};
    const std::uint8_t long_request[3] = {std::uint8_t(address >> 8), std::uint8_t(address & 0xFF),
                                          std::uint8_t(length)};

    for (int attempt = 0; attempt < kReadAttempts; ++attempt) {
        if (is_short)
            send_command(link, cmd::kReadShort, short_request, 2);
        else
            send_command(link, cmd::kReadLong, long_request, 3);

        for (int poll = 0; poll < kPollsPerReadAttempt; ++poll) {
            if (poll_reply(link) == 0 || link.reply_code() != reply::kBlock)
                continue;
            const std::uint8_t* p = link.payload();
            const int payload_length = link.reply_length - 3;
            if (is_short) {
                if (p[0] + 512 == address && p[1] == length && payload_length >= 2 + length)
                    return 0;
            } else if (std::equal(long_request, long_request + 3, p) &&
                       payload_length >= 3 + length) {
                std::memmove(link.reply.data() + 4, link.reply.data() + 5, std::size_t(length));
                return 0;
            }
        }
    }
    return 1;
}

int write_block(LinkState& link, int firmware_version, int address,
                std::span<const std::uint8_t> data)
{
    std::vector<std::uint8_t> sent;
    if (short_form(firmware_version, address)) {
        if (address < 512 || address > 1023)
            return 0;
        sent = {std::uint8_t(address & 0xFF), std::uint8_t(data.size())};
    } else {
        sent = {std::uint8_t(address >> 8), std::uint8_t(address & 0xFF), std::uint8_t(data.size())};
    }
    const std::size_t header = sent.size();
    sent.insert(sent.end(), data.begin(), data.end());
    if (sent.size() > kMaxFrameData)
        return 1;

    const bool is_short = header == 2;
    if (!send_command(link, is_short ? cmd::kWriteShort : cmd::kWriteLong, sent.data(), sent.size()))
        return 1;
    send_command(link, is_short ? cmd::kReadShort : cmd::kReadLong, sent.data(), header);

    for (int poll = 0; poll < kWritePolls; ++poll) {
        if (poll_reply(link) == 0 || link.reply_code() != reply::kBlock)
            continue;
        const int payload_length = link.reply_length - 3;
        if (payload_length < int(sent.size()))
            return 1;
        return std::equal(sent.begin(), sent.end(), link.payload()) ? 0 : 1;
    }
    return 1;
}

} // namespace tq
