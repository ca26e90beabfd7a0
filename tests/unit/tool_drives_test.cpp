// SPDX-License-Identifier: MIT
// The host tool's per-drive report, built by the library's logic over the scripted machine.
#include "drives.h"

#include <string>

#include "config_response.h"
#include "drive_test_support.h"

namespace quoril_info {
namespace {

class ToolDrivesTest : public quoril::test::DriveTest {
 protected:
  std::string Json() {
    const Report report = {{"optical_drives", "Optical drives", ProbeOpticalDrives()}};
    return RenderJson(report);
  }
};

TEST_F(ToolDrivesTest, EachOpticalLetterShowsItsCapabilitiesOrWhyNot) {
  quoril::fake::AddOpticalDrive('D', quoril::test::ConfigResponse().Profiles({0x0040}).Build());
  quoril::fake::AddOpticalDrive('E').hasVolume = false;
  quoril::fake::AddOpticalDrive('F').answer.sense = Sense(0x02, 0x3A, 0x00);
  quoril::fake::AddOpticalDrive('G').passThroughFails = true;
  quoril::fake::AddOpticalDrive('H').type = 3;  // a fixed disk: not listed
  EXPECT_EQ(Json(),
            "{\n"
            "  \"format_version\": 1,\n"
            "  \"optical_drives\": [\n"
            "    {\n"
            "      \"letter\": \"D:\",\n"
            "      \"capsLow\": \"0x00002000\",\n"
            "      \"capsHigh\": \"0x00000000\",\n"
            "      \"capabilities\": [\n"
            "        \"CAP_BD_ROM\"\n"
            "      ]\n"
            "    },\n"
            "    {\n"
            "      \"letter\": \"E:\",\n"
            "      \"problem\": \"the drive could not be opened\"\n"
            "    },\n"
            "    {\n"
            "      \"letter\": \"F:\",\n"
            "      \"problem\": \"the drive did not answer GET CONFIGURATION (sense key 0x2, ASC "
            "0x3A, ASCQ 0x00)\"\n"
            "    },\n"
            "    {\n"
            "      \"letter\": \"G:\",\n"
            "      \"problem\": \"the drive did not answer GET CONFIGURATION\"\n"
            "    }\n"
            "  ]\n"
            "}\n");
  EXPECT_TRUE(drives().AllReleased());
}

TEST_F(ToolDrivesTest, NoOpticalDriveIsAnEmptyList) {
  EXPECT_EQ(Json(), "{\n  \"format_version\": 1,\n  \"optical_drives\": []\n}\n");
}

}  // namespace
}  // namespace quoril_info
