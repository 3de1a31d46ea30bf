#include "firmware/autoflash.h"

#include "platform/clock.h"

#include <gio/gio.h>

#include <memory>

namespace tq {
namespace {

constexpr unsigned kControlMask = 1u << 2;
// Mod1, Mod3 and Mod4 (Alt, Super and the like). Mod2 is left out: X maps
// NumLock to it, and with NumLock on a plain Ctrl+F would open the folder
// chooser.
constexpr unsigned kChordModifierMask = 0x08 | 0x20 | 0x40;
constexpr unsigned kKeyF = 0x046;
constexpr unsigned kKeyf = 0x066;

bool has_bin_suffix(const char* name)
{
    gchar* lower = g_ascii_strdown(name, -1);
    const bool yes = g_str_has_suffix(lower, ".bin");
    g_free(lower);
    return yes;
}

// Takes every file newer than the newest seen; true when one was taken.
bool take_newest(FirmwareState& fw, const std::vector<BinFile>& files)
{
    bool taken = false;
    for (const BinFile& f : files) {
        if (f.modified_us > fw.newest_file_time) {
            fw.newest_file_time = f.modified_us;
            gchar* path = g_build_filename(fw.autoflash_folder.c_str(), f.name.c_str(), nullptr);
            fw.autoflash_file = path;
            g_free(path);
            taken = true;
        }
    }
    return taken;
}

} // namespace

std::vector<BinFile> list_bin_files(const std::string& folder)
{
    std::vector<BinFile> files;
    GFile* dir = g_file_new_for_path(folder.c_str());
    GFileEnumerator* e = g_file_enumerate_children(
        dir, G_FILE_ATTRIBUTE_STANDARD_NAME "," G_FILE_ATTRIBUTE_STANDARD_TYPE
             "," G_FILE_ATTRIBUTE_TIME_MODIFIED "," G_FILE_ATTRIBUTE_TIME_MODIFIED_USEC,
        G_FILE_QUERY_INFO_NONE, nullptr, nullptr);
    g_object_unref(dir);
    if (!e)
        return files;
    while (GFileInfo* info = g_file_enumerator_next_file(e, nullptr, nullptr)) {
        const char* name = g_file_info_get_name(info);
        if (g_file_info_get_file_type(info) != G_FILE_TYPE_DIRECTORY && has_bin_suffix(name)) {
            const std::int64_t seconds =
                std::int64_t(g_file_info_get_attribute_uint64(info, G_FILE_ATTRIBUTE_TIME_MODIFIED));
            const std::int64_t usec =
                g_file_info_get_attribute_uint32(info, G_FILE_ATTRIBUTE_TIME_MODIFIED_USEC);
            files.push_back({name, seconds * 1'000'000 + usec});
        }
        g_object_unref(info);
    }
    g_object_unref(e);
    return files;
}

bool is_autoflash_key(unsigned keyval, unsigned state)
{
    return (keyval == kKeyf || keyval == kKeyF) && (state & kControlMask) &&
           (state & kChordModifierMask);
}

void autoflash_arm(FirmwareState& fw, const std::string& folder, const AutoflashEnv& env)
{
    fw.autoflash_folder = folder;
    fw.next_scan_ms = platform::now_ms() + kAutoflashScanIntervalMs;
    if (fw.newest_file_time != 0)
        return; // the watch was on before: only the folder changes
    // What is there now is not for writing, even if no unit is connected yet.
    take_newest(fw, env.list(folder));
    if (fw.newest_file_time == 0)
        fw.newest_file_time = 1;
}

void autoflash_scan(FirmwareState& fw, const AutoflashEnv& env)
{
    if (fw.autoflash_folder.empty())
        return;
    std::int64_t before = fw.newest_file_time;
    const std::string file_before = fw.autoflash_file;
    const bool taken = take_newest(fw, env.list(fw.autoflash_folder));
    if (fw.newest_file_time == 0) {
        fw.newest_file_time = 1;
        before = 1;
    }
    if (!taken || before == 0)
        return;

    const std::int64_t age = (env.now_us ? env.now_us() : g_get_real_time()) - fw.newest_file_time;
    if (age >= kAutoflashSettleUs && env.update && env.update() != 0)
        return;
    // Too young, or not usable: look at it again next time.
    fw.newest_file_time = before;
    fw.autoflash_file = file_before;
}

void autoflash_step(FirmwareState& fw, const AutoflashEnv& env)
{
    const std::int64_t now = platform::now_ms();
    if (now < fw.next_scan_ms)
        return;
    fw.next_scan_ms = now + kAutoflashScanIntervalMs;
    autoflash_scan(fw, env);
}

} // namespace tq
