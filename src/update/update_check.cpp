#include "update/update_check.h"

#include "platform/clock.h"
#include "platform/tcp.h"
#include "text/texts.h"

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <memory>
#include <vector>

#include <sys/stat.h>
#include <unistd.h>

namespace tq {
namespace {

constexpr int kConnectTimeoutMs = 10000;
constexpr int kIoTimeoutMs = 10000;
constexpr std::size_t kVersionAnswerMax = 4095;
constexpr std::size_t kFirstBlock = 4096;
constexpr std::size_t kNextBlockMax = 8192;

// The download goes to a file of its own beside the chosen destination and
// replaces it only once complete: a cut-short download leaves neither a
// half-written installer under the chosen name nor anything else behind.
class PartFile {
public:
    explicit PartFile(const std::string& destination) : destination_(destination)
    {
        std::string name = destination + ".XXXXXX";
        const int fd = mkstemp(name.data());
        if (fd < 0)
            return;
        fchmod(fd, 0644); // data, never executable
        f_ = fdopen(fd, "wb");
        if (!f_) {
            close(fd);
            unlink(name.c_str());
            return;
        }
        path_ = name;
    }
    ~PartFile()
    {
        if (f_)
            std::fclose(f_);
        if (!path_.empty())
            unlink(path_.c_str());
    }
    PartFile(const PartFile&) = delete;
    PartFile& operator=(const PartFile&) = delete;

    bool ok() const { return f_ != nullptr; }
    bool write(const std::uint8_t* data, std::size_t n) { return std::fwrite(data, 1, n, f_) == n; }
    // Closes the file and puts it in place of the destination.
    bool commit()
    {
        const bool closed = std::fclose(f_) == 0;
        f_ = nullptr;
        if (!closed || rename(path_.c_str(), destination_.c_str()) != 0)
            return false;
        path_.clear();
        return true;
    }

private:
    std::string destination_;
    std::string path_;
    std::FILE* f_ = nullptr;
};

// A time by which an exchange as a whole must be over; each wait is cut to
// what is left of it.
class Deadline {
public:
    explicit Deadline(int ms) : end_(std::chrono::steady_clock::now() + std::chrono::milliseconds(ms))
    {
    }
    // The wait allowed now, at most step_ms; 0 once the time is up.
    int wait_ms(int step_ms) const
    {
        const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(
                              end_ - std::chrono::steady_clock::now())
                              .count();
        return int(std::clamp<long long>(left, 0, step_ms));
    }

private:
    std::chrono::steady_clock::time_point end_;
};

class Check {
public:
    Check(const UpdateState& s, const UpdateUi& ui) : s_(s), ui_(ui) {}
    UpdateOutcome run();

private:
    void progress(double fraction, const std::string& text)
    {
        if (ui_.progress)
            ui_.progress(fraction, text);
    }
    void progress(double fraction) { progress(fraction, bar_text_); }
    UpdateOutcome fail(int row);
    UpdateOutcome finish(UpdateResult result);
    bool send(platform::TcpConnection& c, const std::string& request)
    {
        return c.send(reinterpret_cast<const std::uint8_t*>(request.data()), request.size(),
                      kIoTimeoutMs) == request.size();
    }
    UpdateOutcome download(const platform::TcpEndpoint& server, const Version& v);

    const UpdateState& s_;
    const UpdateUi& ui_;
    std::string bar_text_;
};

UpdateOutcome Check::finish(UpdateResult result)
{
    if (ui_.close_progress)
        ui_.close_progress();
    UpdateOutcome out;
    out.result = result;
    return out;
}

UpdateOutcome Check::fail(int row)
{
    UpdateOutcome out = finish(UpdateResult::failed);
    out.text = text(row);
    return out;
}

UpdateOutcome Check::run()
{
    bar_text_ = text(kTextGettingServersIpAddress);
    progress(0);
    const auto server = platform::TcpEndpoint::resolve(s_.host, kUpdatePort);
    if (!server)
        return fail(kTextUpdateServerNotFound);

    bar_text_ = text(kTextCheckingAvailableVersion);
    progress(0.33);
    Version v;
    {
        const auto c = server->connect(kConnectTimeoutMs);
        if (!c)
            return fail(kTextCannotConnectToServer);
        progress(0.66);
        if (!send(*c, version_request(s_.host)))
            return fail(kTextUpdateCheckError);
        std::vector<std::uint8_t> answer(kVersionAnswerMax);
        std::size_t got = 0;
        const Deadline deadline(s_.answer_deadline_ms);
        while (got < answer.size()) {
            const int wait = deadline.wait_ms(kIoTimeoutMs);
            if (wait == 0)
                return fail(kTextUpdateCheckError);
            const long n = c->receive(answer.data() + got, answer.size() - got, wait);
            if (n == platform::TcpConnection::kClosed)
                break;
            if (n < 0)
                return fail(kTextUpdateCheckError);
            got += std::size_t(n);
        }
        const auto version = parse_version_text(http_body_text(answer.data(), got));
        if (!version)
            return fail(kTextUpdateCheckError);
        v = *version;
        progress(1);
    }

    if (v.major == kOwnMajor && v.minor == kOwnMinor)
        return finish(UpdateResult::up_to_date);
    v.patch = 0;
    if (ui_.hide_progress)
        ui_.hide_progress();
    const bool wanted = ui_.ask && ui_.ask(textf(kTextVersionAvailable, v.major, v.minor, 0));
    if (!wanted) {
        UpdateOutcome out = finish(UpdateResult::declined);
        out.offered = v;
        return out;
    }
    return download(*server, v);
}

UpdateOutcome Check::download(const platform::TcpEndpoint& server, const Version& v)
{
    const std::string name = installer_file_name(v.major, v.minor);
    std::string path = s_.download_folder + "/" + name;
    if (ui_.choose_destination) {
        const auto chosen = ui_.choose_destination(s_.download_folder, name);
        if (!chosen) {
            UpdateOutcome out = finish(UpdateResult::declined);
            out.offered = v;
            return out;
        }
        path = *chosen;
    }

    bar_text_ = text(kTextDownloadingUpdate);
    progress(0);
    const auto c = server.connect(kConnectTimeoutMs);
    if (!c)
        return fail(kTextCannotConnectToServer);
    progress(0.02);
    PartFile file(path);
    if (!file.ok())
        return fail(kTextUpdateCheckError);
    if (!send(*c, installer_request(s_.host, v.major, v.minor)))
        return fail(kTextUpdateCheckError);

    // The first block: read until the header has ended (it may come in
    // pieces), at most 4,096 bytes.
    const Deadline deadline(s_.download_deadline_ms);
    std::vector<std::uint8_t> block(std::max(kFirstBlock, kNextBlockMax));
    std::size_t got = 0;
    HttpBody body;
    while (got < kFirstBlock) {
        const int wait = deadline.wait_ms(kIoTimeoutMs);
        const long n = wait > 0 ? c->receive(block.data() + got, kFirstBlock - got, wait) : -1;
        if (n <= 0)
            break;
        got += std::size_t(n);
        body = find_http_body(block.data(), got);
        if (body.ended || got >= kHeaderSearch)
            break;
    }
    // An answer other than 2xx is the server's error page, not an installer.
    if (got == 0 || body.length <= 0 || !http_status_ok(block.data(), got))
        return fail(kTextUpdateCheckError);

    // Whatever the server sends beyond the length it announced is not kept.
    const std::size_t length = std::size_t(body.length);
    progress(0.01);
    std::size_t written = std::min(length, got - body.offset);
    if (!file.write(block.data() + body.offset, written))
        return fail(kTextUpdateCheckError);
    while (written < length) {
        progress(0.01 + 0.99 * double(written) / double(length));
        const int wait = deadline.wait_ms(kIoTimeoutMs);
        if (wait == 0)
            return fail(kTextUpdateCheckError); // too slow as a whole: a dripping server
        const long n = c->receive(block.data(), std::min(kNextBlockMax, length - written), wait);
        if (n <= 0)
            return fail(kTextUpdateCheckError); // cut short
        if (!file.write(block.data(), std::size_t(n)))
            return fail(kTextUpdateCheckError);
        written += std::size_t(n);
    }
    progress(1);
    if (!file.commit())
        return fail(kTextUpdateCheckError);

    UpdateOutcome out = finish(UpdateResult::installer_saved);
    out.installer = path;
    out.offered = v;
    return out;
}

} // namespace

UpdateOutcome run_update_check(const UpdateState& s, const UpdateUi& ui)
{
    const bool wanted = s.prefs ? s.prefs->check_updates : true;
    if (!wanted || s.host.empty())
        return {};
    return Check(s, ui).run();
}

} // namespace tq
