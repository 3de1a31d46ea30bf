// A private temporary folder for a test, removed with everything in it.
#pragma once

#include <glib.h>

#include <cstdint>
#include <cstdio>
#include <filesystem>
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
    ~TempFolder()
    {
        std::error_code ignored;
        std::filesystem::remove_all(path_, ignored);
    }
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
    std::string path_;
};

} // namespace tq::test
