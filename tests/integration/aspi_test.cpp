// SPDX-License-Identifier: MIT
// hasBDOdd on the 95/98 path of the real quoril.dll. This program runs as Windows 98 (the
// prefix's per-program setting) and finds, beside itself, the test-built ASPI manager
// (wnaspi32_emulator.cpp), which carries D: on adapter 0, target 1, answers GET CONFIGURATION
// with the file QUORIL_ASPI_RESPONSE names and logs every request block to QUORIL_ASPI_LOG.
#include <windows.h>

#include <gtest/gtest.h>

#include <cstdint>
#include <cstdio>
#include <fstream>
#include <initializer_list>
#include <string>
#include <vector>

#include "config_response.h"
#include "process_usage.h"
#include "quoril.h"

namespace {

using Block = std::vector<uint8_t>;

std::string TempPath(const char* name) {
  char folder[MAX_PATH + 1] = {};
  const DWORD length = GetTempPathA(MAX_PATH, folder);
  return std::string(folder, length > MAX_PATH ? 0 : length) + name;
}

// An answer to GET CONFIGURATION: a Profile List of `profiles` and a few features a burner
// lists, every entry marked current or not as `current` says.
Block Answer(std::initializer_list<uint16_t> profiles, bool current) {
  return quoril::test::ConfigResponse()
      .Profiles(profiles, current)
      .Feature(0x001D)
      .Feature(0x002D, {0x42, 0, 0, 0})
      .Feature(0x0108)
      .Build();
}

std::vector<Block> ReadLog(const std::string& path) {
  std::vector<Block> blocks;
  std::ifstream log(path);
  std::string line;
  while (std::getline(log, line)) {
    Block block;
    for (size_t i = 0; i + 1 < line.size(); i += 2) {
      block.push_back(static_cast<uint8_t>(std::stoul(line.substr(i, 2), nullptr, 16)));
    }
    blocks.push_back(block);
  }
  return blocks;
}

uint32_t Word(const Block& block, size_t at) {
  return block.at(at) | block.at(at + 1) << 8 | block.at(at + 2) << 16 |
         static_cast<uint32_t>(block.at(at + 3)) << 24;
}

class AspiPath : public ::testing::Test {
 protected:
  void SetUp() override {
    OSVERSIONINFOA version;
    version.dwOSVersionInfoSize = sizeof version;
    ASSERT_TRUE(GetVersionExA(&version));
    ASSERT_EQ(version.dwPlatformId, static_cast<DWORD>(VER_PLATFORM_WIN32_WINDOWS))
        << "this program does not run as Windows 98 (the prefix's AppDefaults setting)";
    ASSERT_EQ(GetDriveTypeA("D:\\"), static_cast<UINT>(DRIVE_CDROM))
        << "the test prefix has no CD-ROM drive at D:";
    ASSERT_TRUE(SetEnvironmentVariableA("QUORIL_ASPI_LOG", log_.c_str()));
    ASSERT_TRUE(SetEnvironmentVariableA("QUORIL_ASPI_RESPONSE", response_.c_str()));
    quoril_ = LoadLibraryA("quoril.dll");
    ASSERT_NE(quoril_, nullptr);
    hasBluray_ = reinterpret_cast<quoril_hasBDOdd_fn>(
        reinterpret_cast<void (*)()>(GetProcAddress(quoril_, "hasBDOdd")));
    ASSERT_NE(hasBluray_, nullptr);
  }
  void TearDown() override {
    if (quoril_ != nullptr) FreeLibrary(quoril_);
    DeleteFileA(log_.c_str());
    DeleteFileA(response_.c_str());
  }

  // hasBDOdd with the drive answering `answer`; afterwards the manager must be unloaded again,
  // once its worker thread has let go of it.
  int Probe(const Block& answer) {
    std::ofstream(response_, std::ios::binary)
        .write(reinterpret_cast<const char*>(answer.data()), answer.size());
    DeleteFileA(log_.c_str());
    const int result = hasBluray_();
    for (int i = 0; i < 600 && GetModuleHandleA("WNASPI32.dll") != nullptr; ++i) Sleep(50);
    EXPECT_EQ(GetModuleHandleA("WNASPI32.dll"), nullptr) << "the ASPI manager stayed loaded";
    return result;
  }

  const std::string log_ = TempPath("quoril-aspi-requests.log");
  const std::string response_ = TempPath("quoril-aspi-response.bin");
  HMODULE quoril_ = nullptr;
  quoril_hasBDOdd_fn hasBluray_ = nullptr;
};

TEST_F(AspiPath, BlurayProfileCurrentOrNotAnswersYes) {
  EXPECT_EQ(Probe(Answer({0x0008, 0x0010, 0x0040}, true)), 1);
  EXPECT_EQ(Probe(Answer({0x0010, 0x0040, 0x0041, 0x0043}, false)), 1);
}

TEST_F(AspiPath, DvdAndCdProfilesOnlyAnswerNo) {
  EXPECT_EQ(Probe(Answer({0x0008, 0x0009, 0x000A, 0x0010, 0x0011, 0x001A, 0x001B}, false)), 0);
}

TEST_F(AspiPath, RequestBlocksAreTheManagersOwn) {
  ASSERT_EQ(Probe(Answer({0x0040}, false)), 1);
  const std::vector<Block> blocks = ReadLog(log_);
  ASSERT_FALSE(blocks.empty()) << "the test-built manager was not the one loaded";

  // The scan for D: on adapter 0: its inquiry, device types of targets 0 and 1, the disk
  // information of target 1; then the one execute request. (Other CD-ROM letters of the prefix
  // would add scans of their own before it, which find nothing.)
  std::vector<const Block*> executes;
  for (const Block& block : blocks) {
    switch (block.at(0)) {
      case 0x00:
        ASSERT_EQ(block.size(), 60u);
        EXPECT_EQ(block, Block(60, 0)) << "an inquiry is zero but for its adapter";
        break;
      case 0x01:
        ASSERT_EQ(block.size(), 12u);
        EXPECT_LT(block[8], 8) << "targets past the adapter's count";
        EXPECT_EQ(block[9], 0);
        break;
      case 0x06:
        ASSERT_EQ(block.size(), 24u);
        EXPECT_EQ(block[8], 1) << "disk information of a target that is no CD-ROM";
        break;
      case 0x02:
        executes.push_back(&block);
        break;
      default:
        ADD_FAILURE() << "unexpected request " << int{block[0]};
    }
  }
  ASSERT_EQ(executes.size(), 1u);
  const Block& execute = *executes[0];
  ASSERT_EQ(execute.size(), 80u);
  EXPECT_EQ(execute[1], 0);     // status, the manager's to fill
  EXPECT_EQ(execute[2], 0);     // adapter
  EXPECT_EQ(execute[3], 0x48);  // data from the drive, completion by event
  EXPECT_EQ(Word(execute, 4), 0u);
  EXPECT_EQ(execute[8], 1);  // target
  EXPECT_EQ(execute[9], 0);  // lun
  EXPECT_EQ(execute[10] | execute[11], 0);
  EXPECT_EQ(Word(execute, 12), 2048u);
  EXPECT_NE(Word(execute, 16), 0u);  // the caller's buffer
  EXPECT_EQ(execute[20], 14);        // sense length
  EXPECT_EQ(execute[21], 10);        // command length
  EXPECT_EQ(execute[22], 0);
  EXPECT_EQ(execute[23], 2);
  EXPECT_NE(Word(execute, 24), 0u);  // the completion event
  EXPECT_EQ(Block(execute.begin() + 28, execute.begin() + 48), Block(20, 0));
  EXPECT_EQ(Block(execute.begin() + 48, execute.begin() + 64),
            (Block{0x46, 0, 0, 0, 0, 0, 0, 0x08, 0, 0, 0, 0, 0, 0, 0, 0}));
  EXPECT_EQ(Block(execute.begin() + 64, execute.end()), Block(16, 0));
}

TEST_F(AspiPath, NothingIsKeptOpenAcrossCalls) {
  const Block answer = Answer({0x0043}, true);
  // A first call may leave the loader's own one-time state behind; the next ones add nothing.
  EXPECT_EQ(Probe(answer), 1);
  const size_t before = CountOpenHandles();
  EXPECT_EQ(Probe(answer), 1);
  EXPECT_EQ(Probe(answer), 1);
  EXPECT_EQ(CountOpenHandles(), before) << "hasBDOdd left handles open";
  EXPECT_EQ(GetModuleHandleA("WNASPI32.DLL"), nullptr) << "hasBDOdd left the ASPI manager loaded";
}

}  // namespace
