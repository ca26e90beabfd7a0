// SPDX-License-Identifier: MIT
// A small in-process stand-in for the WMI service, answering from Linux's sysfs tree.
//
// The WMI logic talks to it through the same interfaces it uses on Windows (locator, services,
// enumerator, class object), handed out by CoCreateInstance for the WMI locator class. It
// knows the two classes the library asks about, with the properties the library reads:
//
//   Win32_BaseBoard   one instance when the kernel describes the board (DMI), none otherwise:
//                     Product       <sysfs>/class/dmi/id/board_name
//                     Manufacturer  <sysfs>/class/dmi/id/board_vendor
//                     Each is the file's first line as it stands (the line end dropped), or
//                     null when the file can't be read; with neither readable there is no
//                     board instance at all.
//   Win32_CDROMDrive  one instance per SCSI CD-ROM device <sysfs>/block/srN, in the order of N:
//                     Caption  the device's vendor and model (<sysfs>/block/srN/device/vendor
//                              and .../model), each with surrounding blanks trimmed, the
//                              non-empty ones joined by one blank; null when neither is readable
//                     Drive    the drive letter and a colon: sr0 is "D:", sr1 "E:", and so on
//                              up to sr22, "Z:"; null for sr23 and later, which have no letter
//
// The drive letters are the contract between this substitute and the native drive commands,
// which open the letter L as /dev/srN with N = L - 'D': keep both sides to exactly this mapping.
//
// Text in sysfs is read as UTF-8 (ill-formed bytes become U+FFFD) and handed out as UTF-16
// BSTRs. Every listing reads sysfs afresh. Objects are reference counted as COM objects are:
// each starts with one reference for whoever receives it and deletes itself at its last
// Release; none depends on another staying alive.
#pragma once

#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "platform/com_types.h"

namespace quoril::platform::wmi {

// WMI's own result codes for what the substitute refuses.
inline constexpr HRESULT kWbemEInvalidParameter = static_cast<HRESULT>(0x80041008);
inline constexpr HRESULT kWbemEOutOfMemory = static_cast<HRESULT>(0x80041006);
inline constexpr HRESULT kWbemEInvalidNamespace = static_cast<HRESULT>(0x8004100E);
inline constexpr HRESULT kWbemEInvalidQueryType = static_cast<HRESULT>(0x80041018);
inline constexpr HRESULT kWbemELocalCredentials = static_cast<HRESULT>(0x80041064);

// One property of an instance: its name and its text, or nothing for a null value.
struct Property {
  std::u16string name;
  std::optional<std::u16string> text;
};
using Instance = std::vector<Property>;

// The instances of each class as the sysfs tree at `sysfsRoot` describes them (see above).
// A folder that can't be listed completely gives no instances.
std::vector<Instance> ReadBaseBoards(const std::string& sysfsRoot);
std::vector<Instance> ReadCdromDrives(const std::string& sysfsRoot);

// The letter of CD-ROM device srN: 'D' + N, nothing past 'Z'.
std::optional<char> CdromDriveLetter(unsigned index);

// A locator whose services read the tree at `sysfsRoot`, holding one reference. Throws
// std::bad_alloc when memory is short. Its objects' methods throw nothing: they answer
// WBEM_E_OUT_OF_MEMORY instead.
IWbemLocator* NewLocator(std::string_view sysfsRoot);

}  // namespace quoril::platform::wmi
