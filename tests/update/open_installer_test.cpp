// Handing the downloaded installer to the desktop: GIO's default handler for
// the file's type starts, with the file; nothing runs the file itself. The
// handler here is a desktop entry of the test's own that copies the file.
#include "support/temp_folder.h"
#include "update/update_window.h"

#include <gtest/gtest.h>
#include <glib.h>
#include <glib/gstdio.h>
#include <sys/stat.h>

#include <chrono>
#include <fstream>
#include <iterator>
#include <string>
#include <thread>

namespace tq {
namespace {

std::string read_file(const std::string& path)
{
    std::ifstream in(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), {});
}

void write_file(const std::string& path, const std::string& content)
{
    std::ofstream(path, std::ios::binary) << content;
}

// The desktop as GIO finds it: set before anything in this program asks
// GLib for the user's folders (GLib keeps the first answer).
struct Desktop {
    Desktop() : root(folder.path())
    {
        g_mkdir_with_parents((root + "/data/applications").c_str(), 0700);
        g_mkdir_with_parents((root + "/config").c_str(), 0700);
        g_setenv("HOME", root.c_str(), TRUE);
        g_setenv("XDG_DATA_HOME", (root + "/data").c_str(), TRUE);
        g_setenv("XDG_CONFIG_HOME", (root + "/config").c_str(), TRUE);
        marker = root + "/opened";
        write_file(root + "/data/applications/tq-test-opener.desktop",
                   "[Desktop Entry]\nType=Application\nName=Test opener\nExec=/bin/cp %f " +
                       marker + "\nMimeType=application/x-ms-dos-executable;\nNoDisplay=true\n");
        write_file(root + "/config/mimeapps.list",
                   "[Default Applications]\n"
                   "application/x-ms-dos-executable=tq-test-opener.desktop\n");
    }
    test::TempFolder folder;
    std::string root;
    std::string marker;
};

Desktop& desktop()
{
    static Desktop d;
    return d;
}
// Before main: no other test may ask GLib for the folders first.
const Desktop& early = desktop();

TEST(OpenInstaller, TheDesktopsOpenerGetsTheFile)
{
    const std::string installer = desktop().root + "/Autoupdate.exe";
    const std::string content = std::string("MZ\x90\x00", 4) + "installer bytes";
    write_file(installer, content);

    ASSERT_TRUE(open_with_default_handler(installer));
    std::string copied;
    for (int i = 0; i < 500 && copied.empty(); ++i) {
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
        copied = read_file(desktop().marker);
    }
    EXPECT_EQ(copied, content);

    // The file was never made executable.
    struct stat st {};
    ASSERT_EQ(stat(installer.c_str(), &st), 0);
    EXPECT_EQ(st.st_mode & 0111, 0u);
}

} // namespace
} // namespace tq
