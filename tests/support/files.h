// Files for tests: whole-file reads and writes, and names in the test's
// temporary directory that no other test process shares.
#pragma once

#include <gtest/gtest.h>
#include <unistd.h>

#include <fstream>
#include <iterator>
#include <string>

inline std::string readFile(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

inline void writeFile(const std::string& path, const std::string& bytes) {
    std::ofstream out(path, std::ios::binary);
    out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
}

inline std::string tempPath(const std::string& name) {
    return ::testing::TempDir() + "ostrel_" + std::to_string(::getpid()) + "_" + name;
}
