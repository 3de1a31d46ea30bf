// Packages made by the real zip tool in a temporary folder.
#pragma once

#include "support/temp_folder.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <random>
#include <string>
#include <vector>

namespace tq::test {

using Bytes = std::vector<std::uint8_t>;

inline Bytes random_bytes(std::size_t n, unsigned seed)
{
    std::mt19937 gen(seed);
    Bytes b(n);
    for (auto& x : b)
        x = std::uint8_t(gen());
    return b;
}

class ZipFolder {
public:
    void write(const std::string& name, const Bytes& data) const { folder_.write_bytes(name, data); }
    void write(const std::string& name, const std::string& text) const { folder_.write(name, text); }
    // Adds the files to archive; stored unless deflate is set.
    void zip(const std::string& archive, const std::string& files, bool deflate = false) const
    {
        const std::string cmd = "cd '" + dir_.string() + "' && zip -q -X " +
                                (deflate ? "-9 " : "-0 ") + archive + " " + files;
        ASSERT_EQ(std::system(cmd.c_str()), 0) << cmd;
    }
    Bytes read(const std::string& name) const
    {
        std::ifstream in(dir_ / name, std::ios::binary);
        return Bytes(std::istreambuf_iterator<char>(in), {});
    }
    std::filesystem::path path(const std::string& name) const { return dir_ / name; }

private:
    TempFolder folder_;
    std::filesystem::path dir_ = folder_.path();
};

inline const char* kManifest = R"({
  "manifest": {
    "application": {
      "bin_file": "app.bin",
      "dat_file": "app.dat"
    }
  }
})";

} // namespace tq::test
