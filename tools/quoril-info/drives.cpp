// SPDX-License-Identifier: MIT
#include "drives.h"

#include <array>
#include <cstdint>
#include <cstdio>
#include <fstream>
#include <string_view>

#include "drive/bluray_probe.h"
#include "drive/capability_names.h"
#include "drive/configuration_walk.h"
#include "drive/drive_capabilities.h"
#include "drive/drive_factory.h"

namespace quoril_info {
namespace {

std::string Hex(unsigned value, int digits) {
  char text[16];
  std::snprintf(text, sizeof text, "0x%0*X", digits, value);
  return text;
}

Value::List NameList(const quoril::DriveCapabilities& caps) {
  Value::List names;
  quoril::ForEachCapabilityName(
      caps, [&](std::string_view name) { names.push_back(Value::Text(std::string(name))); });
  return names;
}

Value ProbeDrive(char letter) {
  Value::Object facts{{"letter", Value::Text(std::string(1, letter) + ":")}};
  const quoril::DriveDevicePtr device(quoril::CreateDriveDevice(letter));
  quoril::DriveCapabilities caps;
  if (!device) {
    facts.push_back({"problem", Value::Text("the drive could not be opened")});
  } else if (quoril::GetDriveCapabilities(device.get(), &caps) != 1) {
    std::string problem = "the drive did not answer GET CONFIGURATION";
    if (device->lastSenseKey != 0 || device->lastAsc != 0 || device->lastAscq != 0) {
      problem += " (sense key " + Hex(device->lastSenseKey & 0x0F, 1) + ", ASC " +
                 Hex(device->lastAsc, 2) + ", ASCQ " + Hex(device->lastAscq, 2) + ")";
    }
    facts.push_back({"problem", Value::Text(problem)});
  } else {
    facts.push_back({"capsLow", Value::Text(Hex(caps.capsLow, 8))});
    facts.push_back({"capsHigh", Value::Text(Hex(caps.capsHigh, 8))});
    facts.push_back({"capabilities", Value::MakeList(NameList(caps))});
  }
  return Value::MakeObject(std::move(facts));
}

}  // namespace

Value ProbeOpticalDrives() {
  Value::List drives;
  for (char letter = 'A'; letter <= 'Z'; ++letter) {
    if (quoril::IsOpticalDrive(letter) == 1) drives.push_back(ProbeDrive(letter));
  }
  return Value::MakeList(std::move(drives));
}

bool DecodeConfigurationFile(const std::string& path, std::string& out, std::string& note,
                             std::string& error) {
  std::ifstream file(path, std::ios::binary);
  if (!file) {
    error = "cannot open " + path;
    return false;
  }
  std::array<uint8_t, quoril::kConfigurationBufferSize> response{};
  file.read(reinterpret_cast<char*>(response.data()), response.size());
  if (file.bad()) {
    error = "cannot read " + path;
    return false;
  }
  if (file.gcount() == static_cast<std::streamsize>(response.size()) &&
      file.peek() != std::char_traits<char>::eof()) {
    note = path + " is longer than 2048 bytes; only the first 2048 were decoded";
  }
  const quoril::DriveCapabilities caps = quoril::DecodeConfiguration(response);
  out = "capsLow=" + Hex(caps.capsLow, 8) + " capsHigh=" + Hex(caps.capsHigh, 8) + "\n";
  quoril::ForEachCapabilityName(caps, [&](std::string_view name) {
    out.append(name);
    out += '\n';
  });
  return true;
}

}  // namespace quoril_info
