// Whole-file helpers for everything the program loads and saves. Paths are
// UTF-8, as the toolkit's file dialogs return them. A failure is reported
// with "Error opening file" or "Error writing file" through the file
// message sink, which the program points at its message window.
#pragma once

#include <cstddef>
#include <functional>
#include <string>
#include <string_view>

namespace tq {

// Where failure messages go (unset: nowhere). Returns the previous sink.
using FileMessageSink = std::function<void(const std::string&)>;
FileMessageSink set_file_message_sink(FileMessageSink sink);

enum class FileReport { Show, Quiet };

// Reads at most max_count bytes of a regular file into buffer; returns the
// count read. 0 when the file cannot be opened (then "Error opening file"
// unless quiet) or is empty.
std::size_t read_file_utf8(void* buffer, const std::string& path, std::size_t max_count,
                           FileReport report = FileReport::Show);
// The same into a string, which then holds exactly what was read.
std::size_t read_file_utf8(std::string& out, const std::string& path, std::size_t max_count,
                           FileReport report = FileReport::Show);

// Creates or replaces the file with count bytes; true when all were
// written. The old content is replaced only once the new one is complete,
// so a failed write never leaves a half-written file behind. On failure
// "Error writing file" unless quiet.
bool write_file_utf8(const void* buffer, const std::string& path, std::size_t count,
                     FileReport report = FileReport::Show);
bool write_file_utf8(std::string_view data, const std::string& path,
                     FileReport report = FileReport::Show);

} // namespace tq
