#include "prefs/preferences.h"

#include "platform/paths.h"
#include "prefs/files.h"

#include <glib.h>

#include <cstring>

namespace tq {
namespace {

// Folders can be long on this system (up to 4096 bytes each), so the file
// may be longer than the layout's usual size; read all of any sane file.
constexpr std::size_t kReadLimit = 64 * 1024;

void put(std::vector<std::uint8_t>& out, std::string_view s)
{
    // A string ends at its first NUL, as the file format has it.
    s = s.substr(0, s.find('\0'));
    out.insert(out.end(), s.begin(), s.end());
    out.push_back(0);
}

// Reads NUL-terminated strings one after another; past the end of the data
// every string is empty.
class StringReader {
public:
    explicit StringReader(std::span<const std::uint8_t> data) : data_(data) {}
    std::string next()
    {
        if (pos_ >= data_.size())
            return {};
        const auto* start = reinterpret_cast<const char*>(data_.data() + pos_);
        const std::size_t left = data_.size() - pos_;
        const void* nul = std::memchr(start, 0, left);
        const std::size_t length = nul ? std::size_t(static_cast<const char*>(nul) - start) : left;
        pos_ += length + 1;
        return std::string(start, length);
    }

private:
    std::span<const std::uint8_t> data_;
    std::size_t pos_ = 0;
};

} // namespace

std::string profile_folder(const PrefsState& p)
{
    return p.folder.empty() ? platform::home_folder() : p.folder;
}

std::string preferences_path(const PrefsState& p)
{
    return profile_folder(p) + "/" + kPreferencesFileName;
}

std::string fit_console_filter(std::string_view text)
{
    text = text.substr(0, text.find('\0'));
    const char* end = nullptr;
    g_utf8_validate(text.data(), gssize(text.size()), &end);
    std::size_t valid = std::size_t(end - text.data());
    if (valid <= kConsoleFilterMax)
        return std::string(text.substr(0, valid));
    // Back off to the start of the character that crosses the limit.
    std::size_t cut = kConsoleFilterMax;
    while (cut > 0 && (static_cast<unsigned char>(text[cut]) & 0xC0) == 0x80)
        --cut;
    return std::string(text.substr(0, cut));
}

std::vector<std::uint8_t> encode_preferences(const PrefsState& p)
{
    std::vector<std::uint8_t> out;
    out.push_back(p.check_updates ? 1 : 0);
    put(out, p.language_code);
    put(out, p.firmware_folder);
    put(out, p.log_folder);
    put(out, p.spare_folder);
    put(out, p.config_folder);
    for (const std::string& filter : p.console_filters)
        put(out, fit_console_filter(filter));
    return out;
}

void decode_preferences(PrefsState& p, std::span<const std::uint8_t> data)
{
    p.check_updates = data.empty() || data[0] != 0;
    StringReader r(data.empty() ? data : data.subspan(1));
    p.language_code = r.next();
    p.firmware_folder = r.next();
    p.log_folder = r.next();
    p.spare_folder = r.next();
    p.config_folder = r.next();
    for (std::string& filter : p.console_filters)
        filter = fit_console_filter(r.next());
}

void load_preferences(PrefsState& p)
{
    std::string image;
    read_file_utf8(image, preferences_path(p), kReadLimit, FileReport::Quiet);
    decode_preferences(p, std::span(reinterpret_cast<const std::uint8_t*>(image.data()),
                                    image.size()));
}

bool save_preferences(const PrefsState& p)
{
    const std::vector<std::uint8_t> image = encode_preferences(p);
    return write_file_utf8(image.data(), preferences_path(p), image.size(), FileReport::Quiet);
}

void remember_folder(PrefsState& p, std::string PrefsState::*which, const std::string& folder)
{
    p.*which = folder;
    save_preferences(p);
}

} // namespace tq
