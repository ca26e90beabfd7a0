#!/bin/sh
# SPDX-License-Identifier: MIT
# The emulated PC: boots Debian's kernel from /boot under QEMU over this machine's own root file
# system, shared read-only and made writable in the guest by a memory-backed overlay, with the
# repository's build/ folder shared writable at its own path. A job run there sees the very
# programs, libraries and build trees of this machine, and what it writes under build/ stays.
#
#   guest.sh [--work DIR] [--layer DIR] [--share DIR] [--memory MB] [--limit SECONDS]
#            JOB [ARGUMENT...]
#
# JOB runs as root in the guest, in the repository's top folder; its output is shown here as it
# comes, and its exit status is this script's. DIR (default build/guest) keeps the guest's own
# files: its initial RAM disk, the disc image, the console log, the job and its output; it must
# lie inside build/. --layer puts a folder of files over the guest's root (the 32-bit Wine
# unpacked from its packages, say). --share shares one more folder writable at its own path, as
# build/ is; it may be given more than once. Any path will do, with spaces or commas, under /tmp
# or /run (the guest's own memory-backed folders, which the shares are mounted over). The PC has,
# every time:
#   - a system board with the product and maker below (SMBIOS type 2) and a standard VGA adapter;
#   - an IDE DVD-ROM drive holding a blank 5 GB disc, and an empty virtio-scsi CD-ROM drive with
#     the vendor and product below: /dev/sr0 and /dev/sr1, ready before the job starts;
#   - no network.
# The job finds what the PC was told in QUORIL_GUEST_BOARD_PRODUCT, _BOARD_MAKER, _TRAY_VENDOR
# and _TRAY_PRODUCT, and QUORIL_GUEST=1 tells it where it runs.
#
# KVM is used only where it works: where /dev/kvm opens, a probe boots the kernel under KVM and
# waits a few seconds for its first line (a nested guest may stall after its firmware); otherwise
# software emulation (TCG). QUORIL_VM_ACCEL=kvm or tcg forces either.
#
# Exit status: the job's; 1 when the guest did not boot, could not set itself up for the job or
# did not finish in time (with the guest's own account); 77 when this machine has no emulator,
# kernel or busybox (each installed by cmake/install-deps.sh, group vm).
set -eu

root=$(cd "$(dirname "$0")/../.." && pwd)
work=$root/build/guest
layer=""
shares=""
memory=2048
limit=${QUORIL_VM_TIME_LIMIT:-600}
while [ $# -gt 0 ]; do
  case $1 in
    --work) work=$2; shift 2 ;;
    --layer) layer=$2; shift 2 ;;
    --share)
      case $2 in *"
"*) echo "guest.sh: a folder to share cannot have a line break in its path" >&2; exit 2 ;; esac
      shares="${shares}rw $(cd "$2" && pwd)
"
      shift 2
      ;;
    --memory) memory=$2; shift 2 ;;
    --limit) limit=$2; shift 2 ;;
    *) break ;;
  esac
done
[ $# -gt 0 ] || { echo "usage: $0 [--work DIR] [--layer DIR] [--share DIR] [--memory MB] [--limit S] JOB [ARG...]" >&2; exit 2; }

# What the PC is told (no commas: QEMU's option syntax would read them as separators).
board_product='Bøard ß VM-1'
board_maker='Quoril Fabrik Ünïcode'
tray_vendor='QUORILVM'
tray_product='Empty Tray 7'

missing() {
  echo "SKIPPED: $* (make deps as root installs it: qemu-system-x86 linux-image-amd64 busybox-static)"
  exit 77
}
command -v qemu-system-x86_64 >/dev/null 2>&1 || missing "qemu-system-x86_64 is not installed"
[ -x /bin/busybox ] || missing "busybox is not installed"
kernel=""
for candidate in /boot/vmlinuz-*; do
  version=${candidate#/boot/vmlinuz-}
  if [ -r "$candidate" ] && [ -r "/lib/modules/$version/modules.dep" ]; then
    kernel=$candidate
    modules=/lib/modules/$version
  fi
done
[ -n "$kernel" ] || missing "no readable /boot/vmlinuz-VERSION with its /lib/modules/VERSION"

mkdir -p "$work"
work=$(cd "$work" && pwd)
case $work/ in
  "$root"/build/*) ;;
  *) echo "guest.sh: $work is not inside $root/build, the folder the guest may write" >&2; exit 2 ;;
esac
if [ -n "$layer" ]; then layer=$(cd "$layer" && pwd); fi
# The folders shared, each mounted at its own path over the guest's root, /tmp and /run (which
# would hide them there): the repository read-only (what the guest writes there stays in its
# memory, as elsewhere in its root), build/ and the others writable. The guest reads the list
# from the work folder's own share, a folder a line ("ro PATH" or "rw PATH"), so no path has to
# pass the kernel's command line.
shares="ro $root
rw $root/build
$shares"
printf '%s' "$shares" >"$work/shares"

# The initial RAM disk: busybox, the guest's first process, and the drivers it needs before it
# can reach the shared root (each after what it needs, none the kernel has built in). Made once
# per kernel; compressed modules are unpacked for busybox's insmod.
initrd=$work/initrd-${modules##*/}.cpio
if [ ! -s "$initrd" ] || [ "$initrd" -ot "$root/tests/vm/guest_init.sh" ]; then
  disk=$work/initrd
  rm -rf "$disk"
  mkdir -p "$disk/bin" "$disk/modules"
  cp /bin/busybox "$disk/bin/busybox"
  cp "$root/tests/vm/guest_init.sh" "$disk/init"
  chmod 755 "$disk/init"
  : >"$work/modules.all"
  for module in drivers/virtio/virtio_pci net/9p/9pnet_virtio fs/9p/9p fs/overlayfs/overlay; do
    grep -q "^kernel/$module\.ko" "$modules/modules.builtin" && continue
    line=$(grep "^kernel/$module\.ko[.a-z]*:" "$modules/modules.dep") ||
      missing "$modules has no driver $module"
    echo "${line#*:}" | awk '{ for (i = NF; i > 0; --i) print $i }' >>"$work/modules.all"
    echo "${line%%:*}" >>"$work/modules.all"
  done
  : >"$disk/modules.list"
  awk 'NF && !seen[$0]++' "$work/modules.all" | while read -r module; do
    name=$(basename "$module")
    case $name in
      *.ko) cp "$modules/$module" "$disk/modules/$name" ;;
      *.ko.xz) name=${name%.xz}; xz -dc "$modules/$module" >"$disk/modules/$name" ;;
      *.ko.zst) name=${name%.zst}; zstd -qdc "$modules/$module" >"$disk/modules/$name" ;;
      *) missing "a way to unpack the driver $module" ;;
    esac
    echo "$name" >>"$disk/modules.list"
  done
  (cd "$disk" && find . | /bin/busybox cpio -o -H newc) >"$initrd.new" 2>/dev/null
  mv "$initrd.new" "$initrd"
  rm -rf "$disk" "$work/modules.all"
fi

# The job, as the guest's first process starts it: in the repository, with what the PC was told.
quote() { printf "'%s'" "$(printf '%s' "$1" | sed "s/'/'\\\\''/g")"; }
{
  echo "cd $(quote "$root") || exit 1"
  echo "export QUORIL_GUEST=1 HOME=/root"
  echo "export QUORIL_GUEST_BOARD_PRODUCT=$(quote "$board_product")"
  echo "export QUORIL_GUEST_BOARD_MAKER=$(quote "$board_maker")"
  echo "export QUORIL_GUEST_TRAY_VENDOR=$(quote "$tray_vendor")"
  echo "export QUORIL_GUEST_TRAY_PRODUCT=$(quote "$tray_product")"
  [ -z "${CI:-}" ] || echo "export CI=$(quote "$CI")"
  printf 'exec'
  for word in "$@"; do printf ' %s' "$(quote "$word")"; done
  echo
} >"$work/job.sh"
rm -f "$work/job.sh.out" "$work/job.sh.status" "$work/setup.log" "$work/setup.failed" \
  "$work/console.log"
truncate -s 5G "$work/dvd.img"

# KVM, where it opens and the kernel's first line comes within seconds under it; once per boot
# of this machine.
choose_accel() {
  case ${QUORIL_VM_ACCEL:-} in
    kvm | tcg) echo "$QUORIL_VM_ACCEL"; return ;;
    "") ;;
    *) echo "guest.sh: QUORIL_VM_ACCEL must be kvm or tcg, not $QUORIL_VM_ACCEL" >&2; exit 2 ;;
  esac
  if [ ! -r /dev/kvm ] || [ ! -w /dev/kvm ]; then echo tcg; return; fi
  cache=$work/accel.$(cat /proc/sys/kernel/random/boot_id 2>/dev/null || echo unknown)
  if [ ! -s "$cache" ]; then
    probe=$work/kvm-probe.log
    : >"$probe"
    timeout -k 2 8 qemu-system-x86_64 -machine pc -accel kvm -cpu host -m 256 -nodefaults \
      -no-user-config -nographic -no-reboot -monitor none -nic none -kernel "$kernel" \
      -append "console=ttyS0 earlyprintk=ttyS0 panic=-1" -serial "file:$probe" \
      </dev/null >/dev/null 2>&1 || true
    if grep -q "Linux version" "$probe"; then echo kvm >"$cache"; else echo tcg >"$cache"; fi
  fi
  cat "$cache"
}
accel=$(choose_accel)
if [ "$accel" = kvm ]; then cpu=host; else cpu=qemu64; accel=tcg,thread=multi; fi

echo "guest.sh: booting ${kernel##*/} ($accel, $memory MB, at most $limit s): $*"
# The folders the guest mounts, each one argument, whatever its path: in QEMU's lists of options
# a comma is doubled, or it would end the value. The job is written, so its words may go.
option_path() { printf '%s' "$1" | sed 's/,/,,/g'; }
set -- -virtfs "local,path=$(option_path "$work"),mount_tag=job,security_model=none"
if [ -n "$layer" ]; then
  set -- "$@" -virtfs \
    "local,path=$(option_path "$layer"),mount_tag=layer,security_model=none,readonly=on"
fi
index=0
while IFS= read -r share; do
  options="local,path=$(option_path "${share#* }"),mount_tag=share$index,security_model=none"
  case $share in "ro "*) options="$options,readonly=on" ;; esac
  set -- "$@" -virtfs "$options,multidevs=remap"
  index=$((index + 1))
done <"$work/shares"
started=$(date +%s)
timeout -k 10 "$limit" qemu-system-x86_64 \
  -machine pc -accel "$accel" -cpu "$cpu" -m "$memory" -smp 2 \
  -nodefaults -no-user-config -nographic -no-reboot -monitor none -nic none \
  -kernel "$kernel" -initrd "$initrd" \
  -append "console=ttyS0 panic=-1 no_timer_check quiet loglevel=3 quoril.drives=2${layer:+ quoril.layer=1}" \
  -serial "file:$work/console.log" \
  -smbios "type=2,manufacturer=$board_maker,product=$board_product" \
  -device VGA \
  -drive "if=none,id=dvd,file=$(option_path "$work/dvd.img"),format=raw,media=cdrom,readonly=on" \
  -device ide-cd,drive=dvd,bus=ide.1 \
  -device virtio-scsi-pci,id=scsi \
  -drive if=none,id=tray,media=cdrom \
  -device "scsi-cd,drive=tray,bus=scsi.0,vendor=$tray_vendor,product=$tray_product" \
  -virtfs "local,path=/,mount_tag=host,security_model=none,readonly=on,multidevs=remap" "$@" \
  </dev/null >"$work/qemu.log" 2>&1 &
qemu=$!
# The job's output, as the guest writes it into the shared folder.
while [ ! -e "$work/job.sh.out" ] && kill -0 "$qemu" 2>/dev/null; do sleep 1; done
[ -e "$work/job.sh.out" ] && tail -n +1 -f --pid="$qemu" "$work/job.sh.out"
status=0
wait "$qemu" || status=$?
echo "guest.sh: the guest ran $(($(date +%s) - started)) s"

if [ -s "$work/job.sh.status" ]; then
  exit "$(cat "$work/job.sh.status")"
fi
# What went wrong, from the guest's own account where it could give one: its setup's messages
# are kept in the work folder from the moment it has mounted it, the console has those before.
if [ -s "$work/setup.failed" ]; then
  echo "FAILED: the guest's setup failed before its job started: $(cat "$work/setup.failed")"
  echo "--- the guest's setup said"; cat "$work/setup.log" 2>/dev/null || true
elif [ "$status" -eq 124 ] || [ "$status" -eq 137 ]; then
  echo "FAILED: the guest did not finish within $limit s"
elif [ ! -e "$work/job.sh.out" ]; then
  echo "FAILED: the guest stopped before its job started (QEMU's status $status)"
else
  echo "FAILED: the guest powered off without finishing its job (QEMU's status $status)"
fi
echo "--- QEMU"; cat "$work/qemu.log"
echo "--- the guest's console (last lines)"; tail -n 40 "$work/console.log" 2>/dev/null || true
exit 1
