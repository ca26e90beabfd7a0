# SPDX-License-Identifier: MIT
# The scratch sysfs trees the bindings' test programs run over, and what every binding must
# answer on each: cmake -DOUTPUT=<folder> -P trees.cmake writes <folder>/<tree>/ and
# <folder>/answers.tsv, a line a call: tree, call (by its C# name), argument ("\0" is a zero
# character), answer (~ is none: null, None or an empty Pascal string; [a|b] a list, (a|b) a
# pair; ! the binding refuses the argument), separated by tabs.
file(REMOVE_RECURSE ${OUTPUT})

# machine: a board named beyond Latin-1 and the 16-bit plane (a surrogate pair in UTF-16), three
# optical drives whose vendor and model sysfs pads, two display adapters and a bridge.
set(tree ${OUTPUT}/machine)
file(WRITE ${tree}/class/dmi/id/board_name "Carte mère Ω-7\n")
file(WRITE ${tree}/class/dmi/id/board_vendor "Fabrik Groß 日本 𝄞\n")
foreach(drive "sr0|DVD-RW QD-100   " "sr1|BD-RE QB-200    " "sr2|Lecteur — 3  ")
  string(REGEX MATCH "^([^|]+)[|](.*)$" drive "${drive}")
  file(WRITE ${tree}/block/${CMAKE_MATCH_1}/device/vendor "QUORIL  \n")
  file(WRITE ${tree}/block/${CMAKE_MATCH_1}/device/model "${CMAKE_MATCH_2}\n")
endforeach()
foreach(device "00:02.0|0x030000|0x1043" "00:1f.0|0x060100|0x8086" "01:00.0|0x030200|0x10de")
  string(REGEX MATCH "^(.*)[|](.*)[|](.*)$" device "${device}")
  set(folder ${tree}/bus/pci/devices/0000:${CMAKE_MATCH_1})
  file(WRITE ${folder}/class "${CMAKE_MATCH_2}\n")
  file(WRITE ${folder}/subsystem_vendor "${CMAKE_MATCH_3}\n")
  foreach(attribute "vendor|0x8086" "device|0x3e92" "subsystem_device|0x8694" "revision|0x02")
    string(REGEX MATCH "^(.*)[|](.*)$" attribute "${attribute}")
    file(WRITE ${folder}/${CMAKE_MATCH_1} "${CMAKE_MATCH_2}\n")
  endforeach()
endforeach()

# empty: a machine without board data, optical drives or display adapters.
file(MAKE_DIRECTORY ${OUTPUT}/empty)

# ten-drives: as many captions as the list holds, each longer than the 255 units the list keeps
# of it, so that the whole list needs more than the library's smallest buffer.
string(REPEAT "x" 260 padding)
set(captions "")
foreach(index RANGE 9)
  file(WRITE ${OUTPUT}/ten-drives/block/sr${index}/device/vendor "QUORIL\n")
  file(WRITE ${OUTPUT}/ten-drives/block/sr${index}/device/model "${index} ${padding}\n")
  string(SUBSTRING "QUORIL ${index} ${padding}" 0 255 caption)
  list(APPEND captions ${caption})
endforeach()
list(JOIN captions "|" captions)

set(long_text "0123456789012345678901234567890123456789012345678") # past any 48-byte brand
set(answers
  "machine\tBoardProduct\t\tCarte mère Ω-7"
  "machine\tBoardProductAndManufacturer\t\t(Carte mère Ω-7|Fabrik Groß 日本 𝄞)"
  "machine\tOpticalDriveCaptions\t\t[QUORIL DVD-RW QD-100|QUORIL BD-RE QB-200|QUORIL Lecteur — 3]"
  "machine\tDriveCaption\te:\tQUORIL BD-RE QB-200"
  "machine\tDriveCaption\tF:\\setup.exe\tQUORIL Lecteur — 3"
  "machine\tDriveCaption\tQ:\t~"
  "machine\tDriveCaption\t\t~"
  "machine\tDriveCaption\tD:\\0\t!"
  "machine\tCpuBrandContains\t\ttrue"
  "machine\tCpuBrandContains\t${long_text}\tfalse"
  "machine\tCpuBrandContains\t\\0\t!"
  "machine\tDisplayAdapterSubsystemVendor\t0\t1043"
  "machine\tDisplayAdapterSubsystemVendor\t1\t10DE"
  "machine\tDisplayAdapterSubsystemVendor\t2\t~"
  "machine\tDisplayAdapterSubsystemVendor\t-1\t~"
  "machine\tDisplayAdapterSubsystemVendors\t\t[1043|10DE]"
  "empty\tBoardProduct\t\t~"
  "empty\tBoardProductAndManufacturer\t\t(~|~)"
  "empty\tOpticalDriveCaptions\t\t[]"
  "empty\tDriveCaption\tD:\t~"
  "empty\tDisplayAdapterSubsystemVendor\t0\t~"
  "empty\tDisplayAdapterSubsystemVendors\t\t[]"
  "ten-drives\tOpticalDriveCaptions\t\t[${captions}]"
  "ten-drives\tDriveCaption\tM:\t${caption}")
# The Blu-ray question goes to the machine's own drive nodes, which no tree replaces: its answer
# is known only on a machine without any.
file(GLOB optical_nodes /dev/sr[0-9]*)
if(NOT optical_nodes)
  list(APPEND answers "machine\tHasBluRayDrive\t\tfalse")
endif()
list(JOIN answers "\n" answers)
file(WRITE ${OUTPUT}/answers.tsv "${answers}\n")
