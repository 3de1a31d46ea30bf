// The update check against an HTTP server on 127.0.0.1.
#include "update/update_check.h"

#include "support/loopback.h"
#include "support/temp_folder.h"

#include <gtest/gtest.h>
#include <sys/stat.h>

#include <atomic>
#include <chrono>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <optional>
#include <string>
#include <thread>
#include <vector>

namespace tq {
namespace {

std::string answer(const std::string& body, const std::string& length_header = "Content-Length: ")
{
    return "HTTP/1.0 200 OK\r\nServer: test\r\n" + length_header + std::to_string(body.size()) +
           "\r\n\r\n" + body;
}

std::string read_file(const std::string& path)
{
    std::ifstream in(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), {});
}

struct UpdateRig {
    UpdateRig()
    {
        state.host = server.host();
        state.download_folder = folder;
        ui.progress = [this](double f, const std::string& t) { steps.push_back({f, t}); };
        ui.hide_progress = [this] { ++hidden; };
        ui.close_progress = [this] { ++closed; };
        ui.ask = [this](const std::string& q) {
            questions.push_back(q);
            return yes;
        };
    }
    ~UpdateRig() { server.join(); }
    std::string installer() const { return folder + "/TQ512_TQ511_setup_3.64.0.exe"; }
    // What the download folder holds.
    std::vector<std::string> files() const
    {
        std::vector<std::string> names;
        for (const auto& e : std::filesystem::directory_iterator(folder))
            names.push_back(e.path().filename().string());
        return names;
    }

    // Answers each connection with the next answer, sent in pieces of
    // piece bytes; a negative cut closes after that many bytes instead.
    void serve(std::vector<std::string> answers, std::size_t piece = 1 << 20)
    {
        server.run([this, answers, piece](test::LoopbackServer& srv) {
            for (const std::string& a : answers) {
                auto c = srv.accept(3000);
                if (!c.valid())
                    return;
                requests.push_back(c.read_request());
                for (std::size_t at = 0; at < a.size(); at += piece) {
                    c.send(a.substr(at, piece));
                    if (piece < a.size())
                        std::this_thread::sleep_for(std::chrono::milliseconds(2));
                }
            }
        });
    }
    UpdateOutcome run()
    {
        UpdateOutcome out = run_update_check(state, ui);
        server.join();
        return out;
    }

    struct Step {
        double fraction;
        std::string text;
    };
    test::LoopbackServer server;
    test::TempFolder download;
    std::string folder = download.path();
    UpdateState state;
    UpdateUi ui;
    bool yes = false;
    std::vector<Step> steps;
    std::vector<std::string> questions;
    std::vector<std::string> requests;
    int hidden = 0;
    int closed = 0;
};

TEST(UpdateCheck, VersionAnswers)
{
    struct Case {
        const char* name;
        std::string reply;
        UpdateResult result;
        const char* question;
    } cases[] = {
        {"same version, any patch", answer("VERSION 3.63.7"), UpdateResult::up_to_date, nullptr},
        {"newer", answer("VERSION 3.64.2"), UpdateResult::declined,
         "Version 3.64.0 is available.\nDo you want to download latest version?"},
        {"any other version is offered", answer("VERSION 3.62.9"), UpdateResult::declined,
         "Version 3.62.0 is available.\nDo you want to download latest version?"},
        {"length header in lower case", answer("VERSION 3.64.2", "content-length: "),
         UpdateResult::failed, nullptr},
        {"body cut at its length",
         "HTTP/1.0 200 OK\r\nContent-Length: 12\r\n\r\nVERSION 3.64.2", UpdateResult::failed,
         nullptr},
        {"bytes past the length ignored",
         "HTTP/1.0 200 OK\r\nContent-Length: 14\r\n\r\nVERSION 3.65.1XYZ", UpdateResult::declined,
         "Version 3.65.0 is available.\nDo you want to download latest version?"},
        {"no length", "HTTP/1.0 200 OK\r\n\r\nVERSION 3.64.2", UpdateResult::failed, nullptr},
        {"not a version", answer("Not found"), UpdateResult::failed, nullptr},
    };
    for (const Case& c : cases) {
        UpdateRig rig;
        rig.serve({c.reply});
        const UpdateOutcome out = rig.run();
        EXPECT_EQ(out.result, c.result) << c.name;
        EXPECT_EQ(out.text, c.result == UpdateResult::failed ? "Update check error." : "")
            << c.name;
        ASSERT_EQ(rig.requests.size(), 1u) << c.name;
        EXPECT_EQ(rig.requests[0], "GET http://" + rig.server.host() +
                                       "/programator/TQ512_TQ511_version HTTP/1.0\r\n\r\n")
            << c.name;
        if (c.question)
            EXPECT_EQ(rig.questions, std::vector<std::string>{c.question}) << c.name;
        else
            EXPECT_TRUE(rig.questions.empty()) << c.name;
        EXPECT_EQ(rig.closed, 1) << c.name;
    }
}

TEST(UpdateCheck, ProgressOfTheVersionCheck)
{
    UpdateRig rig;
    rig.serve({answer("VERSION 3.63.0")});
    rig.run();
    ASSERT_EQ(rig.steps.size(), 4u);
    EXPECT_EQ(rig.steps[0].fraction, 0);
    EXPECT_EQ(rig.steps[0].text, "Getting server's IP address.");
    EXPECT_EQ(rig.steps[1].fraction, 0.33);
    EXPECT_EQ(rig.steps[1].text, "Checking for available version.");
    EXPECT_EQ(rig.steps[2].fraction, 0.66);
    EXPECT_EQ(rig.steps[3].fraction, 1);
}

std::string installer_bytes(std::size_t n)
{
    std::string s(n, '\0');
    for (std::size_t i = 0; i < n; ++i)
        s[i] = char((i * 131 + i / 251) & 0xFF);
    return s;
}

TEST(UpdateCheck, DownloadsTheNewerInstaller)
{
    UpdateRig rig;
    rig.yes = true;
    const std::string body = installer_bytes(50000);
    const std::string partial =
        "HTTP/1.0 200 OK\r\nContent-Length: 50000\r\n\r\n" + body.substr(0, 5000);
    rig.serve({answer("VERSION 3.64.2"), partial});
    UpdateOutcome out = rig.run();
    EXPECT_EQ(out.result, UpdateResult::failed);
    EXPECT_EQ(out.text, "Update check error.");
    // A cut-short download leaves nothing behind, under any name.
    EXPECT_TRUE(rig.files().empty());

    rig.requests.clear();
    rig.steps.clear();
    rig.serve({answer("VERSION 3.64.2"), answer(body)}, 3000);
    out = rig.run();
    ASSERT_EQ(out.result, UpdateResult::installer_saved) << out.text;
    EXPECT_EQ(out.installer, rig.installer());
    EXPECT_EQ(rig.files(), std::vector<std::string>{"TQ512_TQ511_setup_3.64.0.exe"});
    ASSERT_EQ(rig.requests.size(), 2u);
    EXPECT_EQ(rig.requests[1], "GET http://" + rig.server.host() +
                                   "/programator/TQ512_TQ511_setup_3.64.0.exe HTTP/1.0\r\n\r\n");
    EXPECT_EQ(read_file(rig.installer()), body);
    // Saved as data, never made executable.
    struct stat st {};
    ASSERT_EQ(stat(rig.installer().c_str(), &st), 0);
    EXPECT_EQ(st.st_mode & 0111, 0u);

    // The download's own progress: from 0 up to 1, never backwards after
    // the first block.
    std::vector<double> download;
    for (const auto& s : rig.steps)
        if (s.text == "Downloading update...")
            download.push_back(s.fraction);
    ASSERT_GE(download.size(), 5u);
    EXPECT_EQ(download[0], 0);
    EXPECT_EQ(download[1], 0.02);
    EXPECT_EQ(download[2], 0.01);
    for (std::size_t i = 3; i < download.size(); ++i)
        EXPECT_GE(download[i], download[i - 1]);
    EXPECT_EQ(download.back(), 1);
    EXPECT_GE(rig.hidden, 1);
}

TEST(UpdateCheck, DownloadFailures)
{
    struct Case {
        const char* name;
        std::string reply;
    } cases[] = {
        {"error page", "HTTP/1.0 404 Not Found\r\nContent-Length: 9\r\n\r\nNot found"},
        {"no length", "HTTP/1.0 200 OK\r\n\r\nMZ"},
        {"empty answer", ""},
    };
    for (const Case& c : cases) {
        UpdateRig rig;
        rig.yes = true;
        rig.serve({answer("VERSION 4.0.0"), c.reply});
        const UpdateOutcome out = rig.run();
        EXPECT_EQ(out.result, UpdateResult::failed) << c.name;
        EXPECT_EQ(out.text, "Update check error.") << c.name;
        EXPECT_EQ(rig.requests.size(), 2u) << c.name;
    }
}

TEST(UpdateCheck, NoServerNoCheck)
{
    {
        // The preference off: no network access at all.
        UpdateRig rig;
        PrefsState prefs;
        prefs.check_updates = false;
        rig.state.prefs = &prefs;
        bool contacted = true;
        rig.server.run([&](test::LoopbackServer& srv) { contacted = srv.accept(300).valid(); });
        const UpdateOutcome out = rig.run();
        EXPECT_EQ(out.result, UpdateResult::skipped);
        EXPECT_FALSE(contacted);
        EXPECT_TRUE(rig.steps.empty());
    }
    {
        // A build without an update server skips silently.
        UpdateRig rig;
        rig.state.host.clear();
        EXPECT_EQ(rig.run().result, UpdateResult::skipped);
        EXPECT_TRUE(rig.steps.empty());
    }
    struct Case {
        std::string host;
        const char* text;
    } cases[] = {
        {"127.0.0.1:" + std::to_string(test::closed_port()), "Cannot connect to server"},
        {"127.0.0.1:notaport", "Cannot find update server."},
    };
    for (const Case& c : cases) {
        UpdateRig rig;
        rig.state.host = c.host;
        const UpdateOutcome out = rig.run();
        EXPECT_EQ(out.result, UpdateResult::failed) << c.host;
        EXPECT_EQ(out.text, c.text) << c.host;
        EXPECT_EQ(rig.closed, 1) << c.host;
    }
}

TEST(UpdateCheck, TheInstallerGoesWhereTheUserChooses)
{
    UpdateRig rig;
    rig.yes = true;
    test::TempFolder elsewhere;
    std::vector<std::string> offered;
    std::optional<std::string> choice = elsewhere / "mine.exe";
    rig.ui.choose_destination = [&](const std::string& folder, const std::string& name) {
        offered = {folder, name};
        return choice;
    };
    // Replaces a file of that name once the download is complete.
    std::ofstream(elsewhere / "mine.exe") << "old";
    const std::string body = installer_bytes(9000);
    rig.serve({answer("VERSION 3.70.1"), answer(body)});
    UpdateOutcome out = rig.run();
    ASSERT_EQ(out.result, UpdateResult::installer_saved) << out.text;
    EXPECT_EQ(offered, (std::vector<std::string>{rig.folder, "TQ512_TQ511_setup_3.70.0.exe"}));
    EXPECT_EQ(out.installer, elsewhere / "mine.exe");
    EXPECT_EQ(read_file(elsewhere / "mine.exe"), body);
    EXPECT_TRUE(rig.files().empty());

    // Cancelled: nothing is downloaded.
    choice.reset();
    rig.requests.clear();
    rig.serve({answer("VERSION 3.70.1")});
    out = rig.run();
    EXPECT_EQ(out.result, UpdateResult::declined);
    EXPECT_EQ(rig.requests.size(), 1u);
    EXPECT_EQ(rig.closed, 2);
}

TEST(UpdateCheck, AServerThatSendsMoreThanItAnnouncedGivesTheAnnouncedBytes)
{
    UpdateRig rig;
    rig.yes = true;
    const std::string body = installer_bytes(20000);
    rig.serve({answer("VERSION 3.64.2"),
               "HTTP/1.0 200 OK\r\nContent-Length: 20000\r\n\r\n" + body + std::string(30000, 'X')},
              7000);
    const UpdateOutcome out = rig.run();
    ASSERT_EQ(out.result, UpdateResult::installer_saved) << out.text;
    EXPECT_EQ(read_file(rig.installer()), body);
}

// A server that drips a byte at a time holds the check no longer than its
// deadline, however patient each single wait is.
TEST(UpdateCheck, ADrippingServerMeetsTheDeadline)
{
    const auto drip = [](test::LoopbackServer& srv, const std::string& a, std::size_t fast,
                         std::atomic<bool>& stop) {
        auto c = srv.accept(3000);
        if (!c.valid())
            return;
        c.read_request();
        c.send(a.substr(0, fast));
        for (std::size_t at = fast; at < a.size() && !stop; ++at) {
            c.send(a.substr(at, 1));
            std::this_thread::sleep_for(std::chrono::milliseconds(40));
        }
    };
    struct Case {
        const char* name;
        bool in_download;
    } cases[] = {{"version answer", false}, {"installer", true}};
    for (const Case& c : cases) {
        UpdateRig rig;
        rig.yes = true;
        rig.state.answer_deadline_ms = 400;
        rig.state.download_deadline_ms = 400;
        std::atomic<bool> stop = false;
        const std::string installer = answer(installer_bytes(5000));
        rig.server.run([&](test::LoopbackServer& srv) {
            if (c.in_download) {
                {
                    auto v = srv.accept(3000);
                    v.read_request();
                    v.send(answer("VERSION 3.64.2"));
                }
                drip(srv, installer, 100, stop);
            } else {
                drip(srv, answer("VERSION 3.64.2"), 20, stop);
            }
        });
        const auto start = std::chrono::steady_clock::now();
        const UpdateOutcome out = run_update_check(rig.state, rig.ui);
        const auto took = std::chrono::steady_clock::now() - start;
        stop = true;
        rig.server.join();
        EXPECT_EQ(out.result, UpdateResult::failed) << c.name;
        EXPECT_EQ(out.text, "Update check error.") << c.name;
        EXPECT_LT(took, std::chrono::seconds(3)) << c.name;
        EXPECT_TRUE(rig.files().empty()) << c.name;
    }
}

} // namespace
} // namespace tq
