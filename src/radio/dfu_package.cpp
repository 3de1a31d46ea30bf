#include "radio/dfu_package.h"

#include "link/bytes.h"

#include <zlib.h>

#include <algorithm>
#include <string>

namespace tq {
namespace {

constexpr std::uint32_t kEndSignature = 0x06054B50;
constexpr std::uint32_t kCentralSignature = 0x02014B50;
constexpr std::uint32_t kLocalSignature = 0x04034B50;
constexpr std::size_t kEndSize = 22;
constexpr std::size_t kCentralSize = 46;
constexpr std::size_t kLocalSize = 30;
constexpr int kEndSearch = 1000;

std::uint32_t u16(std::span<const std::uint8_t> d, std::size_t at) { return le16(&d[at]); }
std::uint32_t u32(std::span<const std::uint8_t> d, std::size_t at) { return le32(&d[at]); }

// [at, at + n) lies inside a buffer of size len (no overflow).
bool fits(std::size_t len, std::uint64_t at, std::uint64_t n) { return at <= len && n <= len - at; }

struct Directory {
    std::size_t offset;
    std::size_t end;
};

std::optional<Directory> find_directory(std::span<const std::uint8_t> zip)
{
    if (zip.size() < kEndSize)
        return std::nullopt;
    std::size_t pos = zip.size() - kEndSize;
    for (int step = 0; step < kEndSearch; ++step, --pos) {
        if (u32(zip, pos) == kEndSignature) {
            const std::uint32_t disk = u16(zip, pos + 4), cd_disk = u16(zip, pos + 6);
            const std::uint32_t here = u16(zip, pos + 8), total = u16(zip, pos + 10);
            const std::uint64_t cd_size = u32(zip, pos + 12), cd_offset = u32(zip, pos + 16);
            const std::uint32_t comment = u16(zip, pos + 20);
            if (comment + kEndSize == zip.size() - pos && disk == 0 && cd_disk == 0 &&
                here == total && cd_offset < pos && cd_offset + cd_size <= pos)
                return Directory{std::size_t(cd_offset), std::size_t(cd_offset + cd_size)};
        }
        if (pos == 0)
            break;
    }
    return std::nullopt;
}

// The manifest's text without blanks, tabs, carriage returns or line feeds.
std::string squeeze(std::span<const std::uint8_t> data)
{
    std::string s;
    s.reserve(data.size());
    for (std::uint8_t b : data)
        if (b != ' ' && b != '\t' && b != '\r' && b != '\n')
            s.push_back(char(b));
    return s;
}

} // namespace

bool is_ble_image(std::span<const std::uint8_t> file)
{
    return file.size() >= kBleMagic.size() &&
           std::equal(kBleMagic.begin(), kBleMagic.end(), file.begin());
}

std::uint32_t crc32_update(std::uint32_t crc, std::span<const std::uint8_t> data)
{
    uLong c = crc;
    while (!data.empty()) {
        const std::size_t n = std::min<std::size_t>(data.size(), 1u << 30);
        c = ::crc32(c, data.data(), uInt(n));
        data = data.subspan(n);
    }
    return std::uint32_t(c);
}

std::optional<std::span<const std::uint8_t>> find_stored_entry(std::span<const std::uint8_t> zip,
                                                              std::string_view name)
{
    const auto dir = find_directory(zip);
    if (!dir)
        return std::nullopt;
    std::size_t p = dir->offset;
    while (fits(dir->end, p, kCentralSize)) {
        if (u32(zip, p) != kCentralSignature || u16(zip, p + 8) != 0 || u16(zip, p + 10) != 0)
            return std::nullopt;
        const std::uint32_t crc = u32(zip, p + 16);
        const std::uint32_t packed = u32(zip, p + 20), size = u32(zip, p + 24);
        const std::uint32_t name_len = u16(zip, p + 28), extra = u16(zip, p + 30),
                            comment = u16(zip, p + 32);
        const std::uint64_t local = u32(zip, p + 42);
        if (packed != size)
            return std::nullopt;
        const std::uint64_t entry = std::uint64_t(kCentralSize) + name_len + extra + comment;
        if (!fits(dir->end, p, entry))
            return std::nullopt;
        const std::string_view entry_name(reinterpret_cast<const char*>(zip.data() + p + kCentralSize),
                                          name_len);
        if (entry_name != name) {
            p += std::size_t(entry);
            continue;
        }

        if (!fits(zip.size(), local, kLocalSize) || u32(zip, local) != kLocalSignature ||
            u32(zip, local + 22) != size || u16(zip, local + 26) != name_len ||
            u32(zip, local + 14) != crc)
            return std::nullopt;
        const std::uint64_t data_at = local + kLocalSize + name_len + u16(zip, local + 28);
        if (!fits(zip.size(), data_at, size))
            return std::nullopt;
        const auto data = zip.subspan(std::size_t(data_at), size);
        if (crc32_update(0, data) != crc)
            return std::nullopt;
        return data;
    }
    return std::nullopt;
}

std::optional<DfuPackage> read_dfu_package(std::span<const std::uint8_t> zip)
{
    if (zip.size() < kMinPackageFile)
        return std::nullopt;
    const auto manifest_data = find_stored_entry(zip, "manifest.json");
    if (!manifest_data)
        return std::nullopt;
    const std::string m = squeeze(*manifest_data);
    static constexpr std::string_view kStart = R"({"manifest":{"application":{)";
    if (m.compare(0, kStart.size(), kStart) != 0)
        return std::nullopt;

    DfuPackage package;
    std::size_t at = kStart.size();
    for (;;) {
        static constexpr std::string_view kBin = R"("bin_file":")", kDat = R"("dat_file":")";
        const std::string_view rest = std::string_view(m).substr(at);
        const bool bin = rest.starts_with(kBin);
        if (!bin && !rest.starts_with(kDat))
            return std::nullopt;
        at += kBin.size();
        const std::size_t quote = m.find('"', at);
        if (quote == std::string::npos)
            return std::nullopt;
        const auto entry = find_stored_entry(zip, std::string_view(m).substr(at, quote - at));
        if (!entry)
            return std::nullopt;
        (bin ? package.image : package.init) = *entry;
        at = quote + 1;
        if (at >= m.size() || m[at] != ',')
            break;
        ++at;
    }
    if (package.init.size() < kMinInitPacket || package.image.size() < kMinImage)
        return std::nullopt;
    return package;
}

} // namespace tq
