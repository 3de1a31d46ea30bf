#include "config/history.h"

#include "config/config_io.h"
#include "text/texts.h"

#include <glib.h>
#include <glib/gstdio.h>

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <map>
#include <optional>

namespace tq {
namespace {

constexpr std::size_t kStampLength = 19; // 2026-12-10T14-35-02
constexpr int kMaxSameSecond = 1000;

bool digits(std::string_view t)
{
    return std::all_of(t.begin(), t.end(), [](char c) { return c >= '0' && c <= '9'; });
}

bool is_stamp(std::string_view t)
{
    if (t.size() != kStampLength)
        return false;
    for (std::size_t i = 0; i < t.size(); ++i) {
        const char c = t[i];
        const bool ok = i == 4 || i == 7 || i == 13 || i == 16 ? c == '-'
                        : i == 10                             ? c == 'T'
                                                              : c >= '0' && c <= '9';
        if (!ok)
            return false;
    }
    return true;
}

// A kept file's name: the stamp and which file of that second it is (1 for
// the first); nothing for other names.
struct FileName {
    std::string name;
    std::string stamp;
    long count = 1;
    bool operator<(const FileName& o) const
    {
        return stamp != o.stamp ? stamp < o.stamp : count < o.count;
    }
};

std::optional<FileName> parse_name(const std::string& name)
{
    const std::string_view n(name);
    if (n.size() < kStampLength + 4 || n.substr(n.size() - 4) != ".cfg" ||
        !is_stamp(n.substr(0, kStampLength)))
        return std::nullopt;
    FileName f{name, std::string(n.substr(0, kStampLength)), 1};
    const std::string_view rest = n.substr(kStampLength, n.size() - 4 - kStampLength);
    if (rest.empty())
        return f;
    if (rest.size() < 2 || rest.size() > 6 || rest[0] != '-' || !digits(rest.substr(1)))
        return std::nullopt;
    f.count = std::stol(std::string(rest.substr(1)));
    return f;
}

// The kept files of a folder, oldest first.
std::vector<FileName> kept_files(const std::string& folder)
{
    std::vector<FileName> files;
    GDir* dir = g_dir_open(folder.c_str(), 0, nullptr);
    if (!dir)
        return files;
    while (const gchar* name = g_dir_read_name(dir)) {
        if (auto f = parse_name(name))
            files.push_back(std::move(*f));
    }
    g_dir_close(dir);
    std::sort(files.begin(), files.end());
    return files;
}

std::string in_folder(const std::string& folder, const std::string& name)
{
    gchar* path = g_build_filename(folder.c_str(), name.c_str(), nullptr);
    std::string result(path);
    g_free(path);
    return result;
}

// "2026-12-10T14-35-02" as "2026-12-10 14:35:02".
std::string readable_time(const std::string& stamp)
{
    std::string t = stamp;
    t[10] = ' ';
    t[13] = ':';
    t[16] = ':';
    return t;
}

std::string error_text(int error) { return g_strerror(error); }

// Creates a file that does not exist yet and writes text into it; on any
// failure nothing is left behind. EEXIST when the name is taken.
int write_new_file(const std::string& path, const std::string& text)
{
    std::FILE* f = std::fopen(path.c_str(), "wbx");
    if (!f)
        return errno;
    const bool written = std::fwrite(text.data(), 1, text.size(), f) == text.size();
    const int write_error = written ? 0 : errno;
    const bool closed = std::fclose(f) == 0;
    if (written && closed)
        return 0;
    const int error = write_error ? write_error : errno ? errno : EIO;
    g_remove(path.c_str());
    return error == EEXIST ? EIO : error;
}

void remove_oldest(const std::string& folder, int keep)
{
    const std::vector<FileName> files = kept_files(folder);
    const std::size_t limit = std::size_t(std::max(keep, 1));
    for (std::size_t i = 0; i + limit < files.size(); ++i)
        g_remove(in_folder(folder, files[i].name).c_str());
}

} // namespace

std::string one_line(std::string text)
{
    for (char& c : text) {
        if (c == '\t' || c == '\n' || c == '\r')
            c = ' ';
    }
    return text;
}

std::string default_history_root()
{
    gchar* root = g_build_filename(g_get_user_data_dir(), "tq512", "units", nullptr);
    std::string result(root);
    g_free(root);
    return result;
}

HistoryPlace history_place(const std::string& root, const std::string& serial,
                           const std::string& model_string)
{
    const std::size_t dash = model_string.find('-');
    return {root, serial, model_string,
            dash == std::string::npos ? std::string() : model_string.substr(dash + 1)};
}

std::string history_folder(const HistoryPlace& place)
{
    if (place.root.empty())
        return {};
    std::string name = place.serial.empty() ? "no-serial" : place.serial;
    for (char& c : name) {
        const bool plain = (c >= '0' && c <= '9') || (c >= 'A' && c <= 'Z') ||
                           (c >= 'a' && c <= 'z') || c == '-' || c == '_';
        if (!plain)
            c = '_';
    }
    return in_folder(place.root, name);
}

std::vector<KeptConfiguration> read_history_log(std::string_view text)
{
    std::vector<KeptConfiguration> lines;
    while (!text.empty()) {
        const std::size_t end = text.find('\n');
        std::string_view line = text.substr(0, end);
        text.remove_prefix(end == std::string_view::npos ? text.size() : end + 1);
        if (!line.empty() && line.back() == '\r')
            line.remove_suffix(1);
        std::string_view field[5];
        int n = 0;
        for (; n < 5; ++n) {
            const std::size_t tab = line.find('\t');
            field[n] = line.substr(0, tab);
            if (tab == std::string_view::npos) {
                ++n;
                break;
            }
            line.remove_prefix(tab + 1);
        }
        if (n < 5 || !parse_name(std::string(field[4])))
            continue;
        KeptConfiguration e;
        e.time = field[0];
        e.operation = field[1];
        e.model = field[2];
        e.firmware = field[3];
        e.file = field[4];
        lines.push_back(std::move(e));
    }
    return lines;
}

bool is_kept_file_name(const std::string& name) { return parse_name(name).has_value(); }

std::vector<KeptConfiguration> list_history(const std::string& folder)
{
    // What the log says about each file; a later line wins.
    std::map<std::string, KeptConfiguration> logged;
    gchar* contents = nullptr;
    gsize length = 0;
    if (g_file_get_contents(in_folder(folder, kHistoryLog).c_str(), &contents, &length,
                            nullptr)) {
        for (KeptConfiguration& e : read_history_log(std::string_view(contents, length)))
            logged[e.file] = std::move(e);
        g_free(contents);
    }

    std::vector<KeptConfiguration> entries;
    const std::vector<FileName> files = kept_files(folder);
    for (auto f = files.rbegin(); f != files.rend(); ++f) {
        KeptConfiguration e;
        if (auto found = logged.find(f->name); found != logged.end())
            e = found->second;
        e.file = f->name;
        e.time = readable_time(f->stamp);
        entries.push_back(std::move(e));
    }
    return entries;
}

KeepResult keep_configuration_text(const std::string& folder, const std::string& stamp,
                                   const std::string& text, const std::string& operation,
                                   const std::string& model, const std::string& firmware,
                                   int keep)
{
    KeepResult r;
    if (!is_stamp(stamp)) {
        r.error = error_text(EINVAL);
        return r;
    }
    if (g_mkdir_with_parents(folder.c_str(), 0700) != 0) {
        r.error = error_text(errno);
        return r;
    }
    std::string name;
    for (int n = 1; n <= kMaxSameSecond; ++n) {
        name = n == 1 ? stamp + ".cfg" : stamp + "-" + std::to_string(n) + ".cfg";
        const int error = write_new_file(in_folder(folder, name), text);
        if (error == 0) {
            r.kept = true;
            break;
        }
        if (error != EEXIST) {
            r.error = error_text(error);
            return r;
        }
    }
    if (!r.kept) {
        r.error = error_text(EEXIST);
        return r;
    }
    r.path = in_folder(folder, name);

    // The file is what matters; the log line only describes it, so a log
    // that cannot be appended to does not undo the keeping.
    const std::string line = readable_time(stamp) + '\t' + one_line(operation) + '\t' +
                             one_line(model) + '\t' + one_line(firmware) + '\t' + name + '\n';
    if (std::FILE* log = std::fopen(in_folder(folder, kHistoryLog).c_str(), "ab")) {
        std::fwrite(line.data(), 1, line.size(), log);
        std::fclose(log);
    }
    remove_oldest(folder, keep);
    return r;
}

std::string history_stamp_now()
{
    GDateTime* now = g_date_time_new_now_local();
    gchar* stamp = g_date_time_format(now, "%Y-%m-%dT%H-%M-%S");
    std::string result(stamp ? stamp : "");
    g_free(stamp);
    g_date_time_unref(now);
    return result;
}

bool keep_before_write(ConfigState& s, LinkState& link, const char* operation)
{
    const std::string folder = history_folder(s.history);
    if (folder.empty() || s.held_blocks.empty() || !s.active)
        return true;
    KeepResult r;
    if (std::optional<std::string> cfg = held_configuration_text(s, link)) {
        r = keep_configuration_text(folder, history_stamp_now(), *cfg, operation,
                                    s.history.model, s.history.firmware);
    } else {
        r.error = text(kTextConfigurationLoadError); // the blocks not held could not be read
    }
    if (!s.active)
        return false; // the unit went away meanwhile
    if (r.kept || !s.hooks.ask)
        return true;
    return s.hooks.ask(textf(kTextHistoryNotKept, r.error.c_str()));
}

} // namespace tq
