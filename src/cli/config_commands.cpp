// identify, config get and config set.
#include "cli/config_session.h"
#include "cli/session.h"

#include "config/cfg_file.h"
#include "config/config_io.h"
#include "config/history.h"
#include "config/record.h"
#include "config/vehicle_table.h"
#include "text/texts.h"

#include <glib.h>

#include <cstdio>

namespace tq::cli {

int run_identify(Session& s)
{
    const Found found = s.find_unit();
    if (found != Found::Unit)
        return s.not_found(found);
    const Unit& u = s.unit;
    if (s.options.json) {
        s.out("{\"model\": " + json_string(u.model_string) + ", \"unit_model\": " +
              std::to_string(u.model) + ", \"firmware\": " + json_string(u.firmware()) +
              ", \"firmware_version\": " + std::to_string(u.version) +
              ", \"hardware\": " + json_string(u.hardware) +
              ", \"serial\": " + json_string(u.serial_number) + "}\n");
    } else {
        s.out(u.model_string + "\n" + u.firmware() + "\n" + u.hardware + "\n" + u.serial_text +
              "\n");
    }
    return kExitDone;
}

UnitConfig::UnitConfig(Session& s) : session(s)
{
    state.vehicles = s.env.vehicles ? s.env.vehicles : &builtin_vehicle_table();
    state.hooks.message = [this](const std::string& m) { message = m; };
}

bool UnitConfig::load()
{
    end_config_session(state);
    begin_config_session(state, UnitKind{session.unit.model, session.unit.version});
    state.history = history_place(session.env.history_root, session.unit.serial_number,
                                  session.unit.model_string);
    message.clear();
    if (load_configuration(state, session.link, kLoadSilent) == LoadResult::Loaded)
        return true;
    if (message.empty())
        message = text(kTextConfigurationLoadError);
    return false;
}

bool UnitConfig::save()
{
    message.clear();
    if (save_configuration(state, session.link) == SaveResult::Saved)
        return true;
    if (message.empty())
        message = text(kTextWriteError);
    return false;
}

bool read_cfg_source(Session& s, const std::string& file, std::string& bytes)
{
    bytes.clear();
    if (file == "-") {
        // The whole input is read, so that the writer is not cut off; the
        // first kCfgMaxBytes are used, as from a file.
        char chunk[4096];
        std::size_t got;
        while ((got = std::fread(chunk, 1, sizeof chunk, s.env.in)) > 0) {
            if (bytes.size() <= kCfgMaxBytes)
                bytes.append(chunk, got);
        }
        return true;
    }
    std::FILE* f = std::fopen(file.c_str(), "rb");
    if (!f)
        return false;
    bytes.resize(kCfgMaxBytes + 1);
    bytes.resize(std::fread(bytes.data(), 1, bytes.size(), f));
    std::fclose(f);
    return true;
}

// Writes the text whole or not at all: a file that cannot be written
// completely keeps what it held.
bool write_whole_file(const std::string& file, const std::string& content)
{
    return g_file_set_contents(file.c_str(), content.data(), gssize(content.size()), nullptr);
}

std::string cfg_as_json(const std::string& cfg_text)
{
    std::string j = "{";
    std::size_t pos = 0;
    bool first = true;
    while (pos < cfg_text.size()) {
        std::size_t end = cfg_text.find('\n', pos);
        if (end == std::string::npos)
            end = cfg_text.size();
        std::string line = cfg_text.substr(pos, end - pos);
        pos = end + 1;
        if (!line.empty() && line.back() == '\r')
            line.pop_back();
        const std::size_t eq = line.find('=');
        if (eq == std::string::npos)
            continue;
        j += (first ? "" : ", ") + json_string(line.substr(0, eq)) + ": " +
             json_string(line.substr(eq + 1));
        first = false;
    }
    return j + "}\n";
}

int run_config_get(Session& s, const std::string& file)
{
    const Found found = s.find_unit();
    if (found != Found::Unit)
        return s.not_found(found);
    UnitConfig config(s);
    if (!config.load())
        return s.fail(config.message);
    const std::string cfg = write_cfg_text(config.state);
    const std::string content = s.options.json ? cfg_as_json(cfg) : cfg;
    if (file == "-") {
        s.out(content);
        return kExitDone;
    }
    if (!write_whole_file(file, content))
        return s.fail(std::string(text(kTextErrorWritingFile)) + ": " + file);
    return kExitDone;
}

int run_config_set(Session& s, const std::string& file)
{
    // The file first: a file that cannot be read never waits for a unit.
    std::string bytes;
    if (!read_cfg_source(s, file, bytes))
        return s.fail(std::string(text(kTextErrorOpeningFile)) + ": " + file);
    if (bytes.empty())
        return s.fail(textf(kTextCliCfgEmpty, file.c_str()));

    const Found found = s.find_unit();
    if (found != Found::Unit)
        return s.not_found(found);
    UnitConfig config(s);
    // What the file does not name keeps the unit's values.
    if (!config.load())
        return s.fail(config.message);
    if (read_cfg_text(config.state, bytes) == 0)
        return s.fail(textf(kTextCliCfgEmpty, file.c_str()));
    if (!config.save())
        return s.fail(config.message);
    s.out(config.message + "\n");
    return kExitDone;
}

} // namespace tq::cli
