// SPDX-License-Identifier: MIT
// What the tool learns about optical drives with the library's own logic linked in: the
// capability set of every drive, which no export reports, and offline decoding of saved
// GET CONFIGURATION answers.
#pragma once

#include <string>

#include "report.h"

namespace quoril_info {

// Every optical drive letter with the names of its capabilities, or why it could not be probed.
Value ProbeOpticalDrives();

// Decodes the GET CONFIGURATION answer saved in `path` exactly as the probe decodes a drive's
// answer: a file shorter than the probe's 2048-byte buffer leaves the rest zero; of a longer one
// only the first 2048 bytes count, as a drive asked for 2048 returns no more. On success `out`
// holds "capsLow=0xXXXXXXXX capsHigh=0xXXXXXXXX" and then one capability name per line; on
// failure `error` says why. `note` tells of a longer file.
bool DecodeConfigurationFile(const std::string& path, std::string& out, std::string& note,
                             std::string& error);

}  // namespace quoril_info
