#!/bin/sh
# SPDX-License-Identifier: MIT
# Runs in the emulated PC (guest.sh): quoril-info --json over the library beside it, then what
# the PC was told and what its own sysfs says, all into REPORT for tests/harness/guest.py.
#
#   board_facts.sh QUORIL_INFO REPORT
#
# Every line but the JSON starts with "@@"; a fact is "@@fact NAME=[VALUE]", the brackets keeping
# the blanks at either end of a value.
tool=$1
report=$2
: >"$report"
fact() { printf '@@fact %s=[%s]\n' "$1" "$2" >>"$report"; }

echo "@@json-begin" >>"$report"
"$tool" --json >>"$report" 2>/tmp/stderr
status=$?
echo "@@json-end" >>"$report"
fact exit_status "$status"
fact stderr "$(tr '\n' ' ' </tmp/stderr)"

fact told_board_product "$QUORIL_GUEST_BOARD_PRODUCT"
fact told_board_maker "$QUORIL_GUEST_BOARD_MAKER"
fact told_tray_vendor "$QUORIL_GUEST_TRAY_VENDOR"
fact told_tray_product "$QUORIL_GUEST_TRAY_PRODUCT"
fact board_name "$(cat /sys/class/dmi/id/board_name)"
fact board_vendor "$(cat /sys/class/dmi/id/board_vendor)"
fact cpu_model "$(sed -n 's/^model name[[:space:]]*: //p' /proc/cpuinfo | head -n 1)"
drives=""
for block in /sys/block/sr*; do
  [ -e "$block" ] || continue
  name=${block##*/}
  drives="$drives $name"
  fact "$name.vendor" "$(cat "$block/device/vendor")"
  fact "$name.model" "$(cat "$block/device/model")"
  # The drive's own answer, decoded as the probe decodes what it gets through the library.
  if answer=$(sh "$(dirname "$0")/ask_drive.sh" "/dev/$name" "/tmp/$name.config" 2>&1); then
    answer=$("$tool" decode-config "/tmp/$name.config" 2>&1 | head -n 1)
  fi
  fact "$name.direct" "$answer"
done
fact drives "${drives# }"
displays=""
for device in /sys/bus/pci/devices/*; do
  case $(cat "$device/class") in
    0x03*)
      address=${device##*/}
      displays="$displays $address"
      for attribute in vendor device subsystem_vendor; do
        fact "$address.$attribute" "$(cat "$device/$attribute")"
      done
      ;;
  esac
done
fact displays "${displays# }"
echo "@@done" >>"$report"
