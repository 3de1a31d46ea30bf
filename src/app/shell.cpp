#include "app/shell.h"

#include <algorithm>

namespace tq {

Switches parse_switches(const std::vector<std::string>& args)
{
    Switches s;
    for (std::size_t i = 1; i < args.size(); ++i) {
        const std::string& a = args[i];
        if (a == "maximized")
            s.maximized = true;
        else if (a == "ravlin")
            s.service_mode = true;
        else if (a == "--simulate")
            s.simulate = true;
        else if (a == "--relay-host" && i + 1 < args.size())
            s.relay_host = args[++i];
        else if (a == "--update-host" && i + 1 < args.size())
            s.update_host = args[++i];
        else if (a == "--trace" && i + 1 < args.size())
            s.trace_file = args[++i];
    }
    return s;
}

bool apply_monitor_rule(const std::vector<WorkArea>& areas, int& min_width, int& min_height)
{
    for (const WorkArea& a : areas) {
        min_width = std::min(min_width, a.width);
        min_height = std::min(min_height, a.height - 80);
    }
    return min_width < 1010 || min_height < 680;
}

std::vector<std::string> restart_arguments(const std::string& program_path, const Switches& s,
                                           const std::string& language_code)
{
    std::vector<std::string> args = {program_path};
    if (s.service_mode)
        args.push_back("ravlin");
    if (s.simulate)
        args.push_back("--simulate");
    if (!s.relay_host.empty())
        args.insert(args.end(), {"--relay-host", s.relay_host});
    if (!s.update_host.empty())
        args.insert(args.end(), {"--update-host", s.update_host});
    if (!s.trace_file.empty())
        args.insert(args.end(), {"--trace", s.trace_file});
    if (!language_code.empty()) {
        args.push_back("--lang");
        args.push_back(language_code);
    }
    return args;
}

} // namespace tq
