// SPDX-License-Identifier: MIT
// A scratch folder standing in for a piece of the kernel's file systems (sysfs, /dev) for one
// test: made fresh before the test and removed after it however the test ends, a failed
// assertion included.
#pragma once

#include <gtest/gtest.h>
#include <stdlib.h>

#include <filesystem>
#include <fstream>
#include <string>

namespace quoril::test {

class ScratchFolder : public ::testing::Test {
 protected:
  void SetUp() override {
    char scratch[] = "/tmp/quoril-scratch-XXXXXX";
    ASSERT_NE(mkdtemp(scratch), nullptr);
    root_ = scratch;
  }
  void TearDown() override {
    std::error_code ignored;
    if (!root_.empty()) std::filesystem::remove_all(root_, ignored);
  }

  // Writes `content` to the file at `relative`, making the folders on its way.
  void Write(const std::filesystem::path& relative, const std::string& content) const {
    std::filesystem::create_directories((root_ / relative).parent_path());
    std::ofstream(root_ / relative, std::ios::binary) << content;
  }

  std::filesystem::path root_;
};

}  // namespace quoril::test
