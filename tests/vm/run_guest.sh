#!/bin/sh
# Boots an emulated PC whose board, display adapter and optical drives this script chooses, runs
# quoril-info --json inside it over the library built here, and compares every answer with what
# the emulator was told and what the guest's own sysfs shows (compare_guest.cmake).
#
#   run_guest.sh QUORIL_INFO LIBQUORIL WORK_DIR
#
# Needs qemu-system-x86_64, a Debian kernel (/boot/vmlinuz-VERSION with /lib/modules/VERSION) and
# busybox; where any is missing it says so and exits 77 (skipped). Uses KVM where /dev/kvm can
# be opened, software emulation elsewhere. The guest has no network and a bounded time.
set -eu

here=$(cd "$(dirname "$0")" && pwd)
tool=$1
library=$2
work=$3
# Software emulation boots and answers in about ten seconds; the limit leaves room for a busy
# machine without letting a hung guest hold the test run.
limit=${QUORIL_VM_TIME_LIMIT:-240}

skip() {
  echo "SKIPPED: $* (apt-get install --no-install-recommends qemu-system-x86 linux-image-amd64 busybox-static)"
  exit 77
}

# What the guest is told, and what the comparison expects back (no commas: QEMU's option syntax
# would read them as separators).
board_product='Bøard ß VM-1'
board_maker='Quoril Fabrik Ünïcode'
tray_vendor='QUORILVM'
tray_product='Empty Tray 7'

command -v qemu-system-x86_64 >/dev/null 2>&1 || skip "qemu-system-x86_64 is not installed"
[ -x /bin/busybox ] || skip "busybox is not installed"
kernel=""
for candidate in /boot/vmlinuz-*; do
  version=${candidate#/boot/vmlinuz-}
  if [ -r "$candidate" ] && [ -r "/lib/modules/$version/modules.dep" ]; then
    kernel=$candidate
    modules=/lib/modules/$version
  fi
done
[ -n "$kernel" ] || skip "no readable /boot/vmlinuz-VERSION with its /lib/modules/VERSION"
for file in "$tool" "$library"; do
  [ -f "$file" ] || { echo "FAILED: $file has not been built"; exit 1; }
done

rm -rf "$work"
root=$work/root
mkdir -p "$root/bin" "$root/lib/modules" "$root/opt/quoril"

# The programs, and every shared library they load, at the paths their loader looks in.
cp /bin/busybox "$root/bin/busybox"
cp "$tool" "$root/opt/quoril/quoril-info"
cp "$library" "$root/opt/quoril/$(basename "$library")"
for program in "$tool" "$library" /bin/busybox; do
  ldd "$program" 2>/dev/null || true
done | awk '$2 == "=>" && $3 ~ /^\// { print $3 } $1 ~ /^\// { print $1 }' | sort -u |
  while read -r shared; do
    mkdir -p "$root$(dirname "$shared")"
    cp -L "$shared" "$root$shared"
  done

# The drivers for an IDE and a virtio-scsi CD-ROM drive, each after what it needs (none that the
# kernel has built in). Each line of modules.dep lists a module's whole closure, the module to
# load first last. Compressed modules are unpacked for busybox's insmod.
: >"$work/modules.all"
for module in ata/ata_piix virtio/virtio_pci scsi/virtio_scsi scsi/sr_mod; do
  grep -q "^kernel/drivers/$module\.ko" "$modules/modules.builtin" && continue
  line=$(grep "^kernel/drivers/$module\.ko[.a-z]*:" "$modules/modules.dep") ||
    skip "$modules has no driver $module"
  echo "${line#*:}" | awk '{ for (i = NF; i > 0; --i) print $i }' >>"$work/modules.all"
  echo "${line%%:*}" >>"$work/modules.all"
done
awk '!seen[$0]++' "$work/modules.all" >"$work/modules.list"
: >"$root/modules.list"
while read -r module; do
  name=$(basename "$module")
  case $name in
    *.ko) cp "$modules/$module" "$root/lib/modules/$name" ;;
    *.ko.xz) name=${name%.xz}; xz -dc "$modules/$module" >"$root/lib/modules/$name" ;;
    *.ko.zst) name=${name%.zst}; zstd -qdc "$modules/$module" >"$root/lib/modules/$name" ;;
    *) skip "cannot unpack the driver $module" ;;
  esac
  echo "$name" >>"$root/modules.list"
done <"$work/modules.list"

cp "$here/guest_init.sh" "$root/init"
chmod 755 "$root/init"
echo 2 >"$root/expected-drives"
(cd "$root" && find . | /bin/busybox cpio -o -H newc) >"$work/initramfs.cpio" 2>/dev/null

# A small disc for the IDE drive; the virtio-scsi drive stays empty.
dd if=/dev/zero of="$work/disc.img" bs=1024 count=1024 2>/dev/null

# KVM where the device opens, with software emulation behind it should KVM still refuse.
accel="-accel tcg"
if [ -r /dev/kvm ] && [ -w /dev/kvm ]; then accel="-accel kvm $accel"; fi
echo "booting $kernel under QEMU ($accel), at most $limit s"
started=$(date +%s)
status=0
timeout -k 10 "$limit" qemu-system-x86_64 \
  -machine pc $accel -m 256 -smp 1 \
  -nodefaults -no-user-config -nographic -no-reboot -monitor none -nic none \
  -kernel "$kernel" -initrd "$work/initramfs.cpio" \
  -append "console=ttyS0 panic=-1 quiet loglevel=3" \
  -serial "file:$work/console.log" -serial "file:$work/guest.out" \
  -smbios "type=2,manufacturer=$board_maker,product=$board_product" \
  -device VGA \
  -drive "if=none,id=disc,file=$work/disc.img,format=raw,media=cdrom,readonly=on" \
  -device ide-cd,drive=disc,bus=ide.0 \
  -device virtio-scsi-pci,id=scsi \
  -drive if=none,id=tray,media=cdrom \
  -device "scsi-cd,drive=tray,bus=scsi.0,vendor=$tray_vendor,product=$tray_product" \
  </dev/null >"$work/qemu.log" 2>&1 || status=$?
echo "the guest ran $(($(date +%s) - started)) s"
if [ "$status" -ne 0 ]; then
  if [ "$status" -eq 124 ] || [ "$status" -eq 137 ]; then
    echo "FAILED: the guest did not power off within $limit s"
  else
    echo "FAILED: QEMU exited with status $status"
  fi
  echo "--- QEMU"; cat "$work/qemu.log"
  echo "--- the guest's console (last lines)"; tail -n 40 "$work/console.log" 2>/dev/null || true
  echo
  echo "--- the guest's report"; cat "$work/guest.out" 2>/dev/null || true
  exit 1
fi

exec cmake -DOUTPUT="$work/guest.out" -DCONSOLE="$work/console.log" \
  -DBOARD_PRODUCT="$board_product" -DBOARD_MAKER="$board_maker" \
  -DTRAY_VENDOR="$tray_vendor" -DTRAY_PRODUCT="$tray_product" \
  -P "$here/compare_guest.cmake"
