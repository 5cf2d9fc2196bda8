#pragma once

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <random>
#include <string>

#include "files/saved_file.h"

// A folder of its own for each case, and what a save leaves in it.
class SavedFileTest : public ::testing::Test {
protected:
    void SetUp() override { std::filesystem::create_directories(m_folder); }
    void TearDown() override { std::filesystem::remove_all(m_folder); }
    std::filesystem::path In(const char* name) const { return m_folder / name; }
    static void Save(const std::filesystem::path& path, const std::string& text) {
        files::SaveFile(path, {reinterpret_cast<const std::uint8_t*>(text.data()), text.size()});
    }
    static std::string Read(const std::filesystem::path& path) {
        std::ifstream file(path, std::ios::binary);
        return std::string(std::istreambuf_iterator<char>(file), {});
    }
    long Entries() const {
        return std::distance(std::filesystem::directory_iterator(m_folder), {});
    }

    const std::filesystem::path m_folder =
        std::filesystem::temp_directory_path() /
        ("saved_file_test_" + std::to_string(std::random_device{}()));
};
