// A folder of its own for the running test.
#pragma once

#include <unistd.h>

#include <gtest/gtest.h>

#include <filesystem>
#include <string>

namespace vxtest {

// A fresh, empty folder in the temporary folder, named after the process and
// the test so that parallel runs never share one. The fixture removes it in
// its TearDown.
inline std::filesystem::path MakeTestFolder(const std::string& prefix) {
    const ::testing::TestInfo* test = ::testing::UnitTest::GetInstance()->current_test_info();
    const std::filesystem::path dir =
        std::filesystem::path(::testing::TempDir()) /
        (prefix + "_" + std::to_string(::getpid()) + "_" + test->name());
    std::filesystem::remove_all(dir);
    std::filesystem::create_directories(dir);
    return dir;
}

} // namespace vxtest
