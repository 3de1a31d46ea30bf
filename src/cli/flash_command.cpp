// flash: the window's firmware update, with its progress on the terminal.
#include "cli/flash.h"
#include "cli/config_session.h"
#include "cli/session.h"

#include "config/history.h"
#include "firmware/firmware_file.h"
#include "firmware/update.h"
#include "text/texts.h"

#include <cstdio>
#include <memory>

namespace tq::cli {
namespace {

constexpr int kBarWidth = 40;

// Progress on a terminal: one bar redrawn in place. Elsewhere (a log, a
// pipe): a plain line for each step and for every tenth of the image.
class Progress {
public:
    Progress(std::FILE* stream, bool terminal) : stream_(stream), terminal_(terminal) {}
    ~Progress() { end_bar(); }

    void step(const std::string& what)
    {
        end_bar();
        put(what + "\n");
    }
    void percent(int value)
    {
        if (value == last_percent_)
            return; // the update reports every tenth of a per cent
        last_percent_ = value;
        if (terminal_) {
            const int filled = value * kBarWidth / 100;
            put("\r[" + std::string(std::size_t(filled), '#') +
                   std::string(std::size_t(kBarWidth - filled), ' ') + "] " +
                   std::to_string(value) + "%");
            bar_open_ = true;
        } else if (value / 10 != last_tenth_) {
            last_tenth_ = value / 10;
            put(std::to_string(value) + "%\n");
        }
    }

private:
    void end_bar()
    {
        if (bar_open_)
            put("\n");
        bar_open_ = false;
    }

    void put(const std::string& t)
    {
        std::fputs(t.c_str(), stream_);
        std::fflush(stream_);
    }

    std::FILE* stream_;
    bool terminal_;
    bool bar_open_ = false;
    int last_tenth_ = -1;
    int last_percent_ = -1;
};

// The update on the command line: the file given, the last message kept
// for the caller, the steps and the per cent on the progress stream.
class FlashView final : public FirmwareView {
public:
    FlashView(Session& s, const std::string& file, bool keep, std::string& message,
              Progress& progress)
        : s_(s), file_(file), keep_(keep), message_(message), progress_(progress)
    {
    }

    // The file is given once; asked again (after a file that could not be
    // used) there is no other.
    std::optional<std::string> choose_file() override
    {
        if (chosen_)
            return std::nullopt;
        chosen_ = true;
        return file_;
    }
    void show_message(const std::string& m) override { message_ = m; }
    void progress_label(const std::string& t) override { progress_.step(t); }
    void progress_text(const std::string& t) override
    {
        int value = 0;
        if (std::sscanf(t.c_str(), "%d%%", &value) == 1 && t.back() == '%')
            progress_.percent(value);
        else
            progress_.step(t);
    }
    bool keep_configuration() override
    {
        if (!keep_)
            return true;
        UnitConfig before(s_);
        return !before.load() || keep_before_write(before.state, s_.link, kHistoryFirmware);
    }

private:
    Session& s_;
    const std::string& file_;
    bool keep_;
    std::string& message_;
    Progress& progress_;
    bool chosen_ = false;
};

} // namespace

std::string check_firmware_path(const std::string& file)
{
    std::vector<std::uint8_t> bytes(kFirmwareBufferSize);
    const auto got = read_file_bounded(file, bytes.data(), bytes.size());
    if (!got)
        return std::string(text(kTextErrorOpeningFile)) + ": " + file;
    if (check_firmware_file(std::span(bytes.data(), *got)) != FileCheck::Good)
        return std::string(text(kTextFileCorrupted)) + ": " + file;
    return {};
}

bool flash_unit(Session& s, const std::string& file, int mode, std::string& message,
                std::FILE* progress_stream, bool terminal)
{
    auto firmware = std::make_unique<FirmwareState>();
    Progress progress(progress_stream, terminal);
    // The configuration the unit holds goes into the history first, as in
    // the window; a unit already in its bootloader has none to read.
    const bool keep = mode != kFirmwareNoSwitch && !s.env.history_root.empty();
    FlashView view(s, file, keep, message, progress);
    message.clear();
    update_firmware(s.link, *firmware, view, mode);
    if (message.empty())
        message = text(kTextWriteError);
    return message == text(kTextProgrammedSuccessfully);
}

int run_flash(Session& s, const std::string& file)
{
    // A file that cannot be used never touches the unit.
    const std::string bad = check_firmware_path(file);
    if (!bad.empty())
        return s.fail(bad);

    int mode = kFirmwareSwitch;
    switch (const Found found = s.find_unit()) {
    case Found::Unit:
    case Found::Refused: // the window offers "Change firmware" for it too
        break;
    case Found::Bootloader:
        mode = kFirmwareNoSwitch;
        break;
    default:
        return s.not_found(found);
    }
    std::string message;
    if (!flash_unit(s, file, mode, message, s.env.out, s.env.terminal))
        return s.fail(message);
    s.out(message + "\n");
    return kExitDone;
}

} // namespace tq::cli
