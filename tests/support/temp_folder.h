// A private temporary folder for a test, removed with everything in it.
#pragma once

#include <glib.h>
#include <glib/gstdio.h>

#include <cstdint>
#include <cstdio>
#include <string>
#include <vector>

namespace tq::test {

class TempFolder {
public:
    TempFolder()
    {
        gchar* p = g_dir_make_tmp("tq512-test-XXXXXX", nullptr);
        path_ = p ? p : "";
        g_free(p);
    }
    ~TempFolder() { remove_tree(path_); }
    TempFolder(const TempFolder&) = delete;
    TempFolder& operator=(const TempFolder&) = delete;

    const std::string& path() const { return path_; }
    std::string operator/(const std::string& name) const { return path_ + "/" + name; }

    // Writes a file below the folder (parent folders are created) and
    // returns its path.
    std::string write(const std::string& name, const std::string& content) const
    {
        const std::string full = *this / name;
        gchar* dir = g_path_get_dirname(full.c_str());
        g_mkdir_with_parents(dir, 0700);
        g_free(dir);
        if (FILE* f = std::fopen(full.c_str(), "wb")) {
            std::fwrite(content.data(), 1, content.size(), f);
            std::fclose(f);
        }
        return full;
    }
    std::string write_bytes(const std::string& name, const std::vector<std::uint8_t>& bytes) const
    {
        return write(name, std::string(bytes.begin(), bytes.end()));
    }
    void make_folder(const std::string& name) const
    {
        g_mkdir_with_parents((*this / name).c_str(), 0700);
    }
    std::string read(const std::string& name) const
    {
        gchar* data = nullptr;
        gsize length = 0;
        if (!g_file_get_contents((*this / name).c_str(), &data, &length, nullptr))
            return {};
        std::string s(data, length);
        g_free(data);
        return s;
    }
    bool exists(const std::string& name) const
    {
        return g_file_test((*this / name).c_str(), G_FILE_TEST_EXISTS);
    }

private:
    static void remove_tree(const std::string& path)
    {
        if (path.empty())
            return;
        if (g_file_test(path.c_str(), G_FILE_TEST_IS_DIR) &&
            !g_file_test(path.c_str(), G_FILE_TEST_IS_SYMLINK)) {
            if (GDir* dir = g_dir_open(path.c_str(), 0, nullptr)) {
                while (const gchar* name = g_dir_read_name(dir))
                    remove_tree(path + "/" + name);
                g_dir_close(dir);
            }
            g_rmdir(path.c_str());
        } else {
            g_unlink(path.c_str());
        }
    }

    std::string path_;
};

} // namespace tq::test
