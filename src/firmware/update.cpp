#include "firmware/update.h"

#include "firmware/bootloader.h"
#include "firmware/firmware_file.h"
#include "link/commands.h"
#include "platform/clock.h"
#include "text/texts.h"

#include <algorithm>
#include <cstdio>
#include <memory>

namespace tq {
namespace {

constexpr int kSettleBeforeSearchMs = 500;
constexpr int kSearchPauseMs = 200;
const char* const kTooLarge = "Firmware too large.";
const char* const kBootloaderLine = "Firmware %s bootloader ver %d.%d";

// Lets GUI events run for ms milliseconds.
void let_gui_run(int ms)
{
    const std::int64_t end = platform::now_ms() + ms;
    for (;;) {
        platform::pump_events();
        const std::int64_t left = end - platform::now_ms();
        if (left <= 0)
            return;
        platform::sleep_ms(int(std::min<std::int64_t>(left, 10)));
    }
}

enum class FileResult { Good, Cancelled, Unusable };

// Chooses (or, in autoflash mode, takes) the file, reads it into the
// buffer and checks it.
FileResult load_file(FirmwareState& fw, FirmwareView& view, int mode, const FirmwareTag*& tag)
{
    const bool autoflash = mode == kFirmwareAutoflash;
    for (;;) {
        std::string path = fw.autoflash_file;
        if (!autoflash) {
            std::optional<std::string> chosen = view.choose_file();
            if (!chosen)
                return FileResult::Cancelled;
            path = std::move(*chosen);
        }
        const std::size_t got = view.read_file(path, fw.buffer.data(), fw.buffer.size()).value_or(0);
        fw.image_size = int(got > kFirmwareHeaderSize ? got - kFirmwareHeaderSize : 0);
        if (got == 0) {
            if (autoflash)
                return FileResult::Unusable;
            continue;
        }
        const FileCheck check = check_firmware_file(std::span(fw.buffer.data(), got), &tag);
        if (check == FileCheck::Good)
            return FileResult::Good;
        if (autoflash)
            return FileResult::Unusable;
        view.show_message(text(kTextFileCorrupted));
        if (check != FileCheck::TooShort)
            return FileResult::Unusable;
    }
}

// From the switch to the reset. Returns the message that ends the update;
// the bootloader's handle is left in boot for the caller to close.
std::string run_bootloader(LinkState& link, FirmwareState& fw, FirmwareView& view, int mode,
                           const FirmwareTag& tag, std::unique_ptr<HidDevice>& boot)
{
    if (mode != kFirmwareNoSwitch && link.open()) {
        view.progress_text(text(kTextSwitchingToFlashMode));
        let_gui_run(10);
        send_command(link, cmd::kEnterBootloader);
    }

    // The unit restarts and leaves the bus: its old handle is of no use.
    device_close(link, "firmware update: the unit restarts into its bootloader");
    let_gui_run(kSettleBeforeSearchMs);
    bool found = false;
    for (int i = 0; i < kBootloaderSearches && !found; ++i) {
        found = device_open(link) == OpenResult::Bootloader;
        if (!found) {
            device_close(link); // a programmer that is still there is not ours now
            let_gui_run(kSearchPauseMs);
        }
    }
    if (!found)
        return text(kTextWriteError);

    // The link no longer sees the device; the bootloader is ours alone.
    boot = std::move(link.device);
    device_close(link, "firmware update: the bootloader is taken over");
    boot->set_nonblocking(false);
    const std::optional<BootloaderInfo> info = bootloader_query(*boot);
    if (!info)
        return text(kTextWriteError);

    const std::size_t size = std::size_t(fw.image_size);
    if (!image_fits(info->start, size))
        return kTooLarge;
    char line[128];
    std::snprintf(line, sizeof line, kBootloaderLine, tag.display_name, info->major, info->minor);
    view.progress_label(line);
    if (info->device_type != tag.device_type)
        return text(kTextFileNotCompatible);

    view.clear_identity();
    view.progress_text(text(kTextErasingFlashMemory));
    let_gui_run(10);
    if (erase_flash(*boot) != 0)
        return text(kTextWriteError);

    const auto progress = [&view](int per_mille) {
        view.progress_fraction(per_mille / 1000.0);
        char percent[16];
        std::snprintf(percent, sizeof percent, "%d%%", per_mille / 10);
        view.progress_text(percent);
        platform::pump_events();
    };
    if (program_image(*boot, fw.image(), size, info->start, progress) != 0)
        return text(kTextWriteError);
    view.progress_text("100%");
    view.progress_fraction(1.0);
    let_gui_run(20);

    if (finish_programming(*boot, tag.marker) != 0)
        return text(kTextWriteError);
    boot_send(*boot, boot_command(boot::kReset)); // the device is gone once it acts on it
    return text(kTextProgrammedSuccessfully);
}

} // namespace

std::optional<std::size_t> FirmwareView::read_file(const std::string& path, std::uint8_t* buffer,
                                                   std::size_t max)
{
    const auto got = read_file_bounded(path, buffer, max);
    if (!got)
        show_message(text(kTextErrorOpeningFile));
    return got;
}

std::optional<std::size_t> read_file_bounded(const std::string& path, std::uint8_t* buffer,
                                             std::size_t max)
{
    std::FILE* f = std::fopen(path.c_str(), "rb");
    if (!f)
        return std::nullopt;
    const std::size_t got = std::fread(buffer, 1, max, f);
    std::fclose(f);
    return got;
}

int update_firmware(LinkState& link, FirmwareState& fw, FirmwareView& view, int mode)
{
    if (fw.updating)
        return 1;
    if (mode != kFirmwareNoSwitch && !link.open())
        return 1;
    fw.updating = true;
    struct Done {
        FirmwareState& fw;
        ~Done() { fw.updating = false; }
    } done{fw};

    const FirmwareTag* tag = nullptr;
    switch (load_file(fw, view, mode, tag)) {
    case FileResult::Good:
        break;
    case FileResult::Cancelled:
        return 1;
    case FileResult::Unusable:
        return mode == kFirmwareAutoflash ? 0 : 1;
    }

    // An update may leave the unit's configuration reset: what it holds now
    // is kept first, while the unit is still connected.
    if (link.open() && !view.keep_configuration())
        return 1;
    view.clear_status();
    view.close_tool_windows();
    if (link.open()) {
        drain_replies(link);
        let_gui_run(10);
    }
    view.open_progress();
    std::unique_ptr<HidDevice> boot;
    const std::string message = run_bootloader(link, fw, view, mode, *tag, boot);
    boot.reset();
    view.close_progress();
    view.show_message(message);
    view.wait_for_message();
    return 1;
}

} // namespace tq
