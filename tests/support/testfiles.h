// Real files for tests: a private temporary folder and whole-file reads and writes.
#pragma once

#include <gtest/gtest.h>
#include <stdlib.h>

#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>

// A fresh folder under the test's temporary directory, removed with everything in it; folders a
// test made unwritable are opened up first so the removal does not fail.
class TempDir {
  public:
    explicit TempDir(const std::string& prefix = "scanbench") {
        std::string pattern = testing::TempDir() + prefix + ".XXXXXX";
        if (::mkdtemp(pattern.data()) == nullptr) ADD_FAILURE() << "no temporary directory";
        path_ = pattern;
    }
    ~TempDir() {
        std::error_code ignored;
        for (const auto& e : std::filesystem::recursive_directory_iterator(path_, ignored))
            if (e.is_directory(ignored))
                std::filesystem::permissions(e.path(), std::filesystem::perms::owner_all, ignored);
        std::filesystem::remove_all(path_, ignored);
    }
    TempDir(const TempDir&) = delete;
    TempDir& operator=(const TempDir&) = delete;

    const std::string& Path() const { return path_; }
    std::string At(const std::string& name) const { return path_ + "/" + name; }
    // Writes a file in the folder and returns its path.
    std::string Write(const std::string& name, const std::string& bytes) const {
        std::ofstream(At(name), std::ios::binary) << bytes;
        return At(name);
    }

  private:
    std::string path_;
};

inline std::string ReadFile(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), {});
}

inline void WriteFile(const std::string& path, const std::string& bytes) {
    std::ofstream(path, std::ios::binary) << bytes;
}
