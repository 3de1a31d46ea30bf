#include "prefs/files.h"

#include "text/texts.h"

#include <glib.h>

#include <cerrno>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace tq {
namespace {

FileMessageSink& sink()
{
    static FileMessageSink s;
    return s;
}

void report_failure(FileReport report, int row)
{
    if (report == FileReport::Show && sink())
        sink()(text(row));
}

// Opens a regular file for reading; -1 for anything else. O_NONBLOCK keeps
// a FIFO or a device from holding the program up at open.
int open_regular(const std::string& path)
{
    const int fd = open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NOCTTY | O_NONBLOCK);
    if (fd < 0)
        return -1;
    struct stat st{};
    if (fstat(fd, &st) != 0 || !S_ISREG(st.st_mode)) {
        close(fd);
        return -1;
    }
    return fd;
}

} // namespace

FileMessageSink set_file_message_sink(FileMessageSink s)
{
    FileMessageSink previous = std::move(sink());
    sink() = std::move(s);
    return previous;
}

std::size_t read_file_utf8(void* buffer, const std::string& path, std::size_t max_count,
                           FileReport report)
{
    const int fd = open_regular(path);
    if (fd < 0) {
        report_failure(report, kTextErrorOpeningFile);
        return 0;
    }
    auto* out = static_cast<char*>(buffer);
    std::size_t done = 0;
    while (done < max_count) {
        const ssize_t n = read(fd, out + done, max_count - done);
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0)
            break;
        done += std::size_t(n);
    }
    close(fd);
    return done;
}

std::size_t read_file_utf8(std::string& out, const std::string& path, std::size_t max_count,
                           FileReport report)
{
    out.assign(max_count, '\0');
    const std::size_t n = read_file_utf8(out.data(), path, max_count, report);
    out.resize(n);
    return n;
}

bool write_file_utf8(const void* buffer, const std::string& path, std::size_t count,
                     FileReport report)
{
    GError* error = nullptr;
    const bool ok = g_file_set_contents_full(path.c_str(), static_cast<const gchar*>(buffer),
                                             gssize(count), G_FILE_SET_CONTENTS_CONSISTENT,
                                             0666, &error);
    if (error)
        g_error_free(error);
    if (!ok)
        report_failure(report, kTextErrorWritingFile);
    return ok;
}

bool write_file_utf8(std::string_view data, const std::string& path, FileReport report)
{
    return write_file_utf8(data.data(), path, data.size(), report);
}

} // namespace tq
