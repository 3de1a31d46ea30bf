// Firmware files and a simulated unit with its bootloader, for the firmware
// tests.
#pragma once

#include "firmware/firmware_file.h"
#include "firmware/update.h"
#include "sim/usb_bootloader.h"
#include "support/sim_link.h"
#include "support/temp_folder.h"

#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <vector>

namespace tq::test {

// A .bin file: tag, six spare bytes, CRC-16/ARC of the image, the image.
inline std::vector<std::uint8_t> firmware_file(std::size_t image_size,
                                               const char* tag = "TQ510F3 ", unsigned seed = 1)
{
    std::vector<std::uint8_t> file(16 + image_size, 0);
    for (int i = 0; i < 8; ++i)
        file[std::size_t(i)] = std::uint8_t(tag[i]);
    std::uint32_t x = seed * 2654435761u + 1;
    for (std::size_t i = 16; i < file.size(); ++i) {
        x = x * 1103515245u + 12345u;
        file[i] = std::uint8_t(x >> 16);
    }
    const std::uint16_t crc = crc16_arc(file.data() + 16, image_size);
    file[14] = std::uint8_t(crc);
    file[15] = std::uint8_t(crc >> 8);
    return file;
}

// The update's view in tests: what it showed and did, in order.
struct UiLog final : FirmwareView {
    std::vector<std::string> events;      // "status", "tools", "open", "close", "wait"
    std::vector<std::string> messages;
    std::vector<std::string> bar_texts;
    std::vector<std::string> labels;
    std::vector<double> fractions;
    std::vector<std::optional<std::string>> choices; // served to choose_file in turn
    int chooser_opened = 0;
    std::function<void(const std::string&)> on_bar_text;
    // Set: called instead of recording "status".
    std::function<void()> on_clear_status;
    // Set: answers keep_configuration; unset: nothing is kept.
    std::function<bool()> keep;

    std::optional<std::string> choose_file() override
    {
        const std::size_t i = std::size_t(chooser_opened++);
        return i < choices.size() ? choices[i] : std::nullopt;
    }
    void show_message(const std::string& m) override { messages.push_back(m); }
    void wait_for_message() override { events.push_back("wait"); }
    bool keep_configuration() override { return keep ? keep() : FirmwareView::keep_configuration(); }
    void close_tool_windows() override { events.push_back("tools"); }
    void clear_status() override
    {
        if (on_clear_status)
            on_clear_status();
        else
            events.push_back("status");
    }
    void clear_identity() override { events.push_back("identity"); }
    void open_progress() override { events.push_back("open"); }
    void close_progress() override { events.push_back("close"); }
    void progress_label(const std::string& t) override { labels.push_back(t); }
    void progress_text(const std::string& t) override
    {
        bar_texts.push_back(t);
        if (on_bar_text)
            on_bar_text(t);
    }
    void progress_fraction(double f) override { fractions.push_back(f); }
};

// A unit behind the programmer, with its bootloader, on a virtual clock.
struct SimUnit : SimLink {
    SimUnit() : bootloader(sim::attach_bootloader(programmer)) {}
    sim::UsbBootloader& bootloader;
};

} // namespace tq::test
