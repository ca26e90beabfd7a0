#!/bin/busybox sh
# The emulated machine's first and only process: loads the drivers for its optical drives, runs
# quoril-info --json, writes what it answered and what the machine's own sysfs says to the
# second serial port (the first is the kernel's console), and powers the machine off.
#
# Every line for the host starts with "@@"; a fact is "@@fact NAME=[VALUE]", the brackets
# keeping the blanks at either end of a value.
/bin/busybox mkdir -p /proc /sys /dev /tmp /sbin /usr/bin /usr/sbin
/bin/busybox --install -s
export PATH=/bin:/sbin:/usr/bin:/usr/sbin
mount -t proc proc /proc
mount -t sysfs sysfs /sys
mount -t devtmpfs devtmpfs /dev
mount -t tmpfs tmpfs /tmp

report=/tmp/report
fact() { printf '@@fact %s=[%s]\n' "$1" "$2" >>"$report"; }
note() { echo "@@note $*" >>"$report"; }

# Dependencies come first in the list the host made.
while read -r module; do
  insmod "/lib/modules/$module" 2>>"$report" || note "insmod $module failed"
done </modules.list

# The drive controllers probe in the background: wait, within bounds, for every drive the host
# attached and its device node.
expected=$(cat /expected-drives)
tries=0
while [ "$tries" -lt 600 ]; do
  found=0
  for block in /sys/block/sr*; do
    [ -e "$block" ] && [ -e "/dev/${block##*/}" ] && found=$((found + 1))
  done
  [ "$found" -ge "$expected" ] && break
  sleep 0.1
  tries=$((tries + 1))
done
note "optical drives ready after $tries tenths of a second: $found of $expected"

echo "@@json-begin" >>"$report"
/opt/quoril/quoril-info --json >>"$report" 2>/tmp/stderr
status=$?
echo "@@json-end" >>"$report"
fact exit_status "$status"
fact stderr "$(tr '\n' ' ' </tmp/stderr)"

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

stty -F /dev/ttyS1 raw -echo 2>/dev/null
cat "$report" >/dev/ttyS1
# The port sends on by itself after the write returns; give it time before the power goes.
sleep 1
poweroff -f
