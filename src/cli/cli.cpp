#include "cli/cli.h"

#include "link/trace.h"

#include "cli/session.h"
#include "platform/locale.h"
#include "text/language.h"
#include "text/texts.h"

#include <cstdlib>
#include <map>

namespace tq::cli {
namespace {

const char* const kProgramHelp =
    "Usage: tq512-cli [OPTIONS] COMMAND [ARGUMENTS]\n"
    "\n"
    "Programs TQ512/TQ511 alarm units through the USB programmer, without the window.\n"
    "\n"
    "Commands:\n"
    "  identify                 model, firmware, hardware and serial number of the unit\n"
    "  config get FILE|-        the unit's configuration into a .cfg file (- : standard output)\n"
    "  config set FILE|-        a .cfg file (- : standard input) into the unit\n"
    "  flash FILE.bin           replaces the unit's firmware\n"
    "  events                   the unit's event memory\n"
    "  signals [--watch]        the 96 signals of the unit, once or on every change\n"
    "  console [--log FILE]     the unit's text messages, until interrupted\n"
    "  station --flash FILE.bin --config FILE.cfg [--report FILE.csv]\n"
    "                           the end-of-line loop, one unit after the other\n"
    "\n"
    "Options:\n"
    "  --simulate               a simulated programmer and unit instead of USB\n"
    "  --lang CODE              messages in en, pl, de, ru, bg, cs or el\n"
    "  --wait SECONDS           how long to wait for the unit (default 10)\n"
    "  --trace FILE             append a trace of the USB link to FILE (for a bug report)\n"
    "  --json                   the result as JSON (identify, config get, events, signals,\n"
    "                           station)\n"
    "  --help                   this text; COMMAND --help: the command's\n"
    "\n"
    "Exit status: 0 done, 1 the operation failed, 2 wrong usage, 3 no unit within the wait.\n";

const std::map<std::string, std::string>& command_help()
{
    static const std::map<std::string, std::string> help = {
        {"identify",
         "Usage: tq512-cli identify [--wait SECONDS] [--json]\n"
         "\n"
         "Waits for a unit and prints its model string, firmware, hardware and serial\n"
         "number as the window shows them. A unit the program cannot serve is an error.\n"},
        {"config",
         "Usage: tq512-cli config get FILE|-  [--json]\n"
         "       tq512-cli config set FILE|-\n"
         "\n"
         "get reads the unit's configuration and writes it as a .cfg file (- : standard\n"
         "output; --json: the keys and values as a JSON object).\n"
         "set reads a .cfg file (- : standard input), checks it as the window does,\n"
         "writes every block with read-back and tells the unit it is stored. Any failure\n"
         "ends with its message and status 1; keys missing from the file keep the unit's\n"
         "values.\n"},
        {"flash",
         "Usage: tq512-cli flash FILE.bin\n"
         "\n"
         "Checks the firmware file, switches the unit into its bootloader (a unit\n"
         "already waiting there is programmed at once), erases it, writes every block\n"
         "with read-back, writes the validity marker and restarts the unit.\n"},
        {"events",
         "Usage: tq512-cli events [--json]\n"
         "\n"
         "Prints the three entries of the unit's event memory.\n"},
        {"signals",
         "Usage: tq512-cli signals [--watch] [--json]\n"
         "\n"
         "Prints the 96 signals with their names and states; with --watch, then every\n"
         "change until interrupted.\n"},
        {"console",
         "Usage: tq512-cli console [--log FILE]\n"
         "\n"
         "Prints the unit's text messages with time stamps until interrupted; with\n"
         "--log, appends them to FILE as the window's log file does.\n"},
        {"station",
         "Usage: tq512-cli station [--flash FILE.bin] [--config FILE.cfg] [--report FILE.csv]\n"
         "                         [--firmware-version MAJOR.MINOR]\n"
         "\n"
         "The end-of-line loop: waits for a unit, flashes it unless it already runs the\n"
         "file's firmware, writes the configuration, reads it back and compares, prints\n"
         "one line per unit (serial number, model, firmware, result, seconds) and appends\n"
         "it to the CSV report, waits until the unit is unplugged and goes on with the\n"
         "next, until interrupted. The file's firmware version is learnt from the first\n"
         "unit it is flashed into, unless --firmware-version gives it. Exit status 0 when\n"
         "every unit passed, 1 when one failed.\n"},
    };
    return help;
}

int usage(CliEnv& env, const std::string& why)
{
    std::fprintf(env.err, "tq512-cli: %s\nTry 'tq512-cli --help'.\n", why.c_str());
    return kExitUsage;
}

bool parse_wait(const std::string& value, int& seconds)
{
    char* end = nullptr;
    const long v = std::strtol(value.c_str(), &end, 10);
    if (value.empty() || *end != '\0' || v < 0 || v > 86400)
        return false;
    seconds = int(v);
    return true;
}

bool parse_version(const std::string& value, int& version)
{
    int major = 0;
    int minor = 0;
    char extra = 0;
    if (std::sscanf(value.c_str(), "%d.%d%c", &major, &minor, &extra) != 2 || major < 0 ||
        major > 255 || minor < 0 || minor > 255)
        return false;
    version = major * 256 + minor;
    return true;
}

// Which command an option belongs to (empty: every command).
const std::map<std::string, std::string>& option_owner()
{
    static const std::map<std::string, std::string> owner = {
        {"--watch", "signals"},   {"--log", "console"},    {"--flash", "station"},
        {"--config", "station"},  {"--report", "station"}, {"--firmware-version", "station"},
    };
    return owner;
}

// Parses the command line; an empty string when it is fine, else why not.
std::string parse(const std::vector<std::string>& args, Options& o)
{
    std::vector<std::string> used;
    for (std::size_t i = 1; i < args.size(); ++i) {
        std::string arg = args[i];
        std::string value;
        bool has_value = false;
        if (arg.rfind("--", 0) == 0) {
            const std::size_t eq = arg.find('=');
            if (eq != std::string::npos) {
                value = arg.substr(eq + 1);
                arg = arg.substr(0, eq);
                has_value = true;
            }
        }
        const auto take = [&](std::string& into) -> bool {
            if (!has_value) {
                if (i + 1 >= args.size())
                    return false;
                value = args[++i];
            }
            into = value;
            return true;
        };
        if (arg == "--simulate") {
            o.simulate = true;
        } else if (arg == "--json") {
            o.json = true;
        } else if (arg == "--help" || arg == "-h") {
            o.help = true;
        } else if (arg == "--watch") {
            o.watch = true;
        } else if (arg == "--lang") {
            if (!take(o.lang))
                return "--lang needs a language code";
        } else if (arg == "--trace") {
            if (!take(o.trace_file) || o.trace_file.empty())
                return "--trace needs a file name";
        } else if (arg == "--wait") {
            std::string v;
            if (!take(v) || !parse_wait(v, o.wait_seconds))
                return "--wait needs a number of seconds";
        } else if (arg == "--log" || arg == "--flash" || arg == "--config" || arg == "--report") {
            std::string& into = arg == "--log"     ? o.log_file
                                : arg == "--flash" ? o.flash_file
                                : arg == "--config" ? o.config_file
                                                    : o.report_file;
            if (!take(into) || into.empty())
                return arg + " needs a file name";
        } else if (arg == "--firmware-version") {
            std::string v;
            if (!take(v) || !parse_version(v, o.firmware_version))
                return "--firmware-version needs MAJOR.MINOR";
        } else if (arg.size() > 1 && arg[0] == '-') {
            return "unknown option " + arg;
        } else if (o.command.empty()) {
            o.command = arg;
            continue;
        } else {
            o.operands.push_back(arg);
            continue;
        }
        used.push_back(arg);
    }
    if (o.help)
        return {};
    if (o.command.empty())
        return "no command given";
    if (!command_help().count(o.command))
        return "unknown command " + o.command;
    for (const std::string& opt : used) {
        const auto owner = option_owner().find(opt);
        if (owner != option_owner().end() && owner->second != o.command)
            return opt + " belongs to " + owner->second;
    }
    const std::size_t n = o.operands.size();
    if (o.command == "config") {
        if (n != 2 || (o.operands[0] != "get" && o.operands[0] != "set"))
            return "config needs get or set and a file";
    } else if (o.command == "flash") {
        if (n != 1)
            return "flash needs one firmware file";
    } else if (n != 0) {
        return o.command + " takes no argument " + o.operands[0];
    }
    if (o.command == "station" && o.flash_file.empty() && o.config_file.empty())
        return "station needs --flash, --config or both";
    return {};
}

} // namespace

std::string help_text(const std::string& command)
{
    const auto found = command_help().find(command);
    return found == command_help().end() ? kProgramHelp : found->second;
}

int run(const std::vector<std::string>& args, CliEnv& env)
{
    Options o;
    const std::string why = parse(args, o);

    // The language first: every message after this point is in it.
    std::vector<std::string> lang_args{args.empty() ? "tq512-cli" : args[0]};
    if (!o.lang.empty()) {
        if (find_language(o.lang) < 0)
            return usage(env, "unknown language " + o.lang);
        lang_args.push_back("--lang");
        lang_args.push_back(o.lang);
    }
    select_language(text_state(), lang_args, "", platform::user_language_code);

    if (!why.empty())
        return usage(env, why);
    if (o.help) {
        std::fputs(help_text(o.command).c_str(), env.out);
        return kExitDone;
    }

    if (env.claim_programmer && !env.claim_programmer()) {
        std::fprintf(env.err, "%s\n", text(kTextCliProgrammerBusy));
        return kExitFailed;
    }
    HidPort* port = env.port ? env.port(o.simulate) : nullptr;
    if (!port) {
        std::fprintf(env.err, "ERROR: %s\n", "hid_init");
        return kExitFailed;
    }

    std::unique_ptr<LinkTrace> trace;
    std::unique_ptr<HidPort> traced;
    if (!o.trace_file.empty()) {
        std::string error;
        trace = LinkTrace::open(o.trace_file, error);
        if (!trace) {
            std::fprintf(env.err, "--trace %s: %s\n", o.trace_file.c_str(), error.c_str());
            return kExitFailed;
        }
        traced = traced_port(*port, *trace);
        port = traced.get();
    }

    Session s(o, env);
    s.link.port = port;
    s.link.trace = trace.get();
    if (o.command == "identify")
        return run_identify(s);
    if (o.command == "config")
        return o.operands[0] == "get" ? run_config_get(s, o.operands[1])
                                      : run_config_set(s, o.operands[1]);
    if (o.command == "flash")
        return run_flash(s, o.operands[0]);
    if (o.command == "events")
        return run_events(s);
    if (o.command == "signals")
        return run_signals(s);
    if (o.command == "console")
        return run_console(s);
    return run_station(s);
}

} // namespace tq::cli
