// A trace of the link for support, off unless the fitter asks for it with
// --trace FILE: every report in and out, every frame sent, received or
// dropped (and why), every device opened and closed (and why), each line
// with the milliseconds since the trace began. A fitter whose unit "keeps
// searching" sends this file with the report.
//
// Off costs one null pointer test where the link would write a line.
#pragma once

#include "link/hid_port.h"

#include <cstdint>
#include <cstdio>
#include <memory>
#include <string>
#include <string_view>

namespace tq {

class LinkTrace {
public:
    // Opens the trace file to append to it; null with the reason in error
    // when it cannot be written.
    static std::unique_ptr<LinkTrace> open(const std::string& path, std::string& error);
    ~LinkTrace();
    LinkTrace(const LinkTrace&) = delete;
    LinkTrace& operator=(const LinkTrace&) = delete;

    // One line: "[   12.345] what". Written through at once, so that the
    // trace of a program that stops abruptly is complete.
    void line(std::string_view what);
    // A line of what, a blank, then the bytes in hex.
    void bytes(std::string_view what, const std::uint8_t* data, std::size_t length);

private:
    LinkTrace(std::FILE* file, std::int64_t start_ms) : file_(file), start_ms_(start_ms) {}
    std::FILE* file_;
    std::int64_t start_ms_;
};

// A port whose devices write every report they carry into the trace, and
// which notes every open (what was asked, what came of it) and close.
std::unique_ptr<HidPort> traced_port(HidPort& inner, LinkTrace& trace);

} // namespace tq
