#include "update/update_check.h"

#include "platform/clock.h"
#include "platform/tcp.h"
#include "text/texts.h"

#include <algorithm>
#include <cstdio>
#include <memory>
#include <vector>

namespace tq {
namespace {

constexpr int kConnectTimeoutMs = 10000;
constexpr int kIoTimeoutMs = 10000;
constexpr std::size_t kVersionAnswerMax = 4095;
constexpr std::size_t kFirstBlock = 4096;
constexpr std::size_t kNextBlockMax = 8192;

struct File {
    std::FILE* f = nullptr;
    ~File()
    {
        if (f)
            std::fclose(f);
    }
    bool write(const std::uint8_t* data, std::size_t n) { return std::fwrite(data, 1, n, f) == n; }
    bool close()
    {
        const bool ok = std::fclose(f) == 0;
        f = nullptr;
        return ok;
    }
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
    bar_text_ = text(228);
    progress(0);
    const auto server = platform::TcpEndpoint::resolve(s_.host, kUpdatePort);
    if (!server)
        return fail(230);

    bar_text_ = text(229);
    progress(0.33);
    Version v;
    {
        const auto c = server->connect(kConnectTimeoutMs);
        if (!c)
            return fail(231);
        progress(0.66);
        if (!send(*c, version_request(s_.host)))
            return fail(232);
        std::vector<std::uint8_t> answer(kVersionAnswerMax);
        std::size_t got = 0;
        while (got < answer.size()) {
            const long n = c->receive(answer.data() + got, answer.size() - got, kIoTimeoutMs);
            if (n == platform::TcpConnection::kClosed)
                break;
            if (n < 0)
                return fail(232);
            got += std::size_t(n);
        }
        const auto version = parse_version_text(http_body_text(answer.data(), got));
        if (!version)
            return fail(232);
        v = *version;
        progress(1);
    }

    if (v.major == kOwnMajor && v.minor == kOwnMinor)
        return finish(UpdateResult::up_to_date);
    v.patch = 0;
    if (ui_.hide_progress)
        ui_.hide_progress();
    const bool wanted = ui_.ask && ui_.ask(textf(235, v.major, v.minor, 0));
    if (!wanted) {
        UpdateOutcome out = finish(UpdateResult::declined);
        out.offered = v;
        return out;
    }
    return download(*server, v);
}

UpdateOutcome Check::download(const platform::TcpEndpoint& server, const Version& v)
{
    bar_text_ = text(233);
    progress(0);
    const auto c = server.connect(kConnectTimeoutMs);
    if (!c)
        return fail(231);
    progress(0.02);
    const std::string path = s_.download_folder + "/" + kInstallerName;
    File file{std::fopen(path.c_str(), "wb")};
    if (!file.f)
        return fail(232);
    if (!send(*c, installer_request(s_.host, v.major, v.minor)))
        return fail(232);

    // The first block: read until the header has ended (it may come in
    // pieces), at most 4,096 bytes.
    std::vector<std::uint8_t> block(std::max(kFirstBlock, kNextBlockMax));
    std::size_t got = 0;
    HttpBody body;
    while (got < kFirstBlock) {
        const long n = c->receive(block.data() + got, kFirstBlock - got, kIoTimeoutMs);
        if (n <= 0)
            break;
        got += std::size_t(n);
        body = find_http_body(block.data(), got);
        if (body.ended || got >= kHeaderSearch)
            break;
    }
    // An answer other than 2xx is the server's error page, not an installer.
    if (got == 0 || body.length <= 0 || !http_status_ok(block.data(), got))
        return fail(232);

    const std::size_t length = std::size_t(body.length);
    progress(0.01);
    std::size_t written = std::min(length, got - body.offset);
    if (!file.write(block.data() + body.offset, written))
        return fail(232);
    while (written < length) {
        progress(0.01 + 0.99 * double(written) / double(length));
        const long n =
            c->receive(block.data(), std::min(kNextBlockMax, length - written), kIoTimeoutMs);
        if (n <= 0)
            return fail(232); // cut short: the partial file stays
        if (!file.write(block.data(), std::size_t(n)))
            return fail(232);
        written += std::size_t(n);
    }
    progress(1);
    if (!file.close())
        return fail(232);

    UpdateOutcome out;
    out.result = UpdateResult::installer_ready;
    out.installer = path;
    out.offered = v;
    return out;
}

} // namespace

UpdateOutcome run_update_check(const UpdateState& s, const UpdateUi& ui)
{
    const bool wanted = s.preference ? s.preference() : true;
    if (!wanted || s.host.empty())
        return {};
    return Check(s, ui).run();
}

} // namespace tq
