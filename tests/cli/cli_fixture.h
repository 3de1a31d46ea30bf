// Runs tq512-cli commands in-process against the simulated demo unit on a
// virtual clock, with the streams caught in files.
#pragma once

#include "cli/cli.h"
#include "platform/clock.h"
#include "sim/demo.h"
#include "sim/programmer.h"
#include "support/temp_folder.h"
#include "text/texts.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <fstream>
#include <functional>
#include <memory>
#include <sstream>
#include <string>
#include <vector>

namespace tq::test {

inline std::string slurp(const std::string& path)
{
    std::ifstream f(path, std::ios::binary);
    std::stringstream ss;
    ss << f.rdbuf();
    return ss.str();
}

inline void spit(const std::string& path, const std::string& content)
{
    std::ofstream(path, std::ios::binary) << content;
}

inline std::vector<std::string> lines_of(const std::string& text)
{
    std::vector<std::string> lines;
    std::istringstream in(text);
    for (std::string line; std::getline(in, line);) {
        if (!line.empty() && line.back() == '\r')
            line.pop_back();
        lines.push_back(line);
    }
    return lines;
}

// The programmer's cable: whichever simulated programmer is plugged in now.
class CablePort final : public HidPort {
public:
    explicit CablePort(std::unique_ptr<sim::Programmer>& programmer) : programmer_(programmer) {}
    std::unique_ptr<HidDevice> open(std::uint16_t vendor, std::uint16_t product) override
    {
        return sim::SimPort(*programmer_).open(vendor, product);
    }
    std::optional<std::vector<std::uint16_t>> plugged_in(std::uint16_t vendor) override
    {
        return sim::SimPort(*programmer_).plugged_in(vendor);
    }

private:
    std::unique_ptr<sim::Programmer>& programmer_;
};

class CliTest : public ::testing::Test {
protected:
    ~CliTest() override { text_state() = TextState{}; }

    // Runs "tq512-cli ARGS" with input on standard input.
    int run(std::vector<std::string> args, const std::string& input = "")
    {
        const std::string out_path = tmp.path() + "/out";
        const std::string err_path = tmp.path() + "/err";
        const std::string in_path = tmp.path() + "/in";
        spit(in_path, input);
        std::FILE* o = std::fopen(out_path.c_str(), "wb");
        std::FILE* e = std::fopen(err_path.c_str(), "wb");
        std::FILE* i = std::fopen(in_path.c_str(), "rb");
        cli::CliEnv env;
        env.out = o;
        env.err = e;
        env.in = i;
        env.terminal = terminal;
        env.port = [this](bool) -> HidPort* { return &port; };
        env.claim_programmer = [this] { return !lock_held; };
        env.interrupted = [this] { return interrupted && interrupted(); };
        env.wall_clock = [] { return std::time_t(1'700'000'000); };
        env.history_root = history_root;
        args.insert(args.begin(), "tq512-cli");
        status = cli::run(args, env);
        std::fclose(o);
        std::fclose(e);
        std::fclose(i);
        out = slurp(out_path);
        err = slurp(err_path);
        return status;
    }

    // Puts another unit on the programmer's cable (a fresh demo unit); the
    // old one's open handles go dead.
    void new_unit()
    {
        retired.push_back(std::move(programmer));
        retired.back()->unplug();
        programmer = sim::make_demo_programmer();
    }

    platform::ScopedVirtualClock clock;
    std::unique_ptr<sim::Programmer> programmer = sim::make_demo_programmer();
    std::vector<std::unique_ptr<sim::Programmer>> retired;
    CablePort port{programmer};
    TempFolder tmp;
    bool lock_held = false;
    bool terminal = false; // standard output is a terminal
    std::function<bool()> interrupted;
    std::string history_root; // empty: no configuration history
    std::string out;
    std::string err;
    int status = -1;
};

} // namespace tq::test
