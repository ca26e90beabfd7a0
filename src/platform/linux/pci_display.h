// SPDX-License-Identifier: MIT
// Display adapters as the Linux kernel lists them under its PCI sysfs tree, described in the
// window system's display device record so the logic reads them exactly as it reads Windows'.
#pragma once

#include <cstdint>
#include <string_view>

#include "platform/platform.h"

namespace quoril::platform::pci {

// Where the running kernel lists every PCI function, one entry per address ("0000:01:00.0"),
// below the sysfs root.
inline constexpr std::string_view kPciDevicesUnderSysfs = "/bus/pci/devices";

// The StateFlags bit the window system sets on the adapter the desktop starts on.
inline constexpr uint32_t kStatePrimaryDevice = 0x00000004;

// The window system's adapter enumeration, answered from the PCI functions under
// `devicesDir`. Adapter `devNum` is the devNum-th function, in address order, whose class
// attribute names a display controller (base class 0x03); a function whose class can't be
// read is not counted. The record is filled with
//   DeviceName   "\\.\DISPLAYn", n = devNum + 1;
//   DeviceString "PCI display adapter <address>";
//   DeviceID     "PCI\VEN_vvvv&DEV_dddd&SUBSYS_ssssvvvv&REV_rr" in uppercase hex, where an
//                identity attribute that is missing or malformed reads as zero: the function
//                is still an adapter, only less is known about it;
//   StateFlags   kStatePrimaryDevice when the kernel marks it as the boot VGA device, else 0;
//   DeviceKey    empty, as there is no registry; `cb` keeps the caller's value.
// Monitors (a non-null `device`) are not listed: naming them needs a connection to the window
// system, which a library inside an arbitrary host can't assume. Answers false, leaving the
// record untouched, for a monitor, a null record, `cb` other than kDisplayDeviceASize, no
// adapter at `devNum`, or a `devicesDir` that can't be listed. Throws std::bad_alloc when memory
// is short.
bool EnumPciDisplayDevices(std::string_view devicesDir, const char* device, uint32_t devNum,
                           DisplayDeviceA* displayDevice);

}  // namespace quoril::platform::pci
