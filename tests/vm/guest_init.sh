#!/bin/busybox sh
# SPDX-License-Identifier: MIT
# The emulated PC's first process (tests/harness/emulated_pc.py puts it into the initial RAM disk): builds the guest's
# root from the host's root file system (read-only, shared as "host"), an optional layer over it
# ("layer") and a memory-backed upper layer that takes every write, gives it memory-backed /tmp
# and /run, mounts each host folder shared ("share0" the repository, "share1" its build/ folder,
# and on) at its own path over them, loads the optical drives' drivers, runs the job as root in
# that root, and powers the PC off. A folder shared read-only takes writes into memory too. The
# job's folder is shared on its own ("job"): the job JOB.sh and the list of shared folders come
# from there, and the job's output and exit status (JOB.sh.out, JOB.sh.status) go there, as does
# the setup's own account (setup.log, and setup.failed with what failed, when the job could not
# start).
/bin/busybox mkdir -p /proc /sys /dev /sbin /usr/bin /usr/sbin /host /layer /rw /root /job /shares
/bin/busybox --install -s
export PATH=/bin:/sbin:/usr/bin:/usr/sbin
mount -t proc proc /proc
mount -t sysfs sysfs /sys
mount -t devtmpfs devtmpfs /dev
while read -r module; do insmod "/modules/$module"; done </modules.list

# setup WHAT COMMAND...: one step of the setup; when it fails, the guest says which and stops.
# Until the job's folder is mounted, only the console hears it.
setup() {
  what=$1
  shift
  "$@" && return
  echo "guest: could not $what" >&2
  if [ -n "$reported" ]; then echo "could not $what" >/job/setup.failed; fi
  sync
  poweroff -f
}
reported=""
# The shares read in place may be cached freely: nothing changes them while the guest runs, and
# Wine maps programs straight from their files only where the cache allows it. The job's folder
# is read from the host while the guest writes it, so it is not cached.
share="trans=virtio,version=9p2000.L,msize=262144"
setup "mount the job's folder (share job)" mount -t 9p -o "$share" job /job
reported=1
exec 2>/job/setup.log
setup "read the list of shared folders" test -r /job/shares
setup "read the job" test -r /job/job.sh

setting() { sed -n "s/.*quoril\.$1=\([^ ]*\).*/\1/p" /proc/cmdline; }
drives=$(setting drives)
setup "mount the host's root (share host)" mount -t 9p -o "$share,ro,cache=loose" host /host
lower=/host
if [ -n "$(setting layer)" ]; then
  setup "mount the layer (share layer)" mount -t 9p -o "$share,ro,cache=loose" layer /layer
  lower=/layer:/host
fi
setup "mount the root's upper layer" mount -t tmpfs -o size=90% tmpfs /rw
mkdir -p /rw/upper /rw/work
setup "mount the guest's root" \
  mount -t overlay overlay -o "lowerdir=$lower,upperdir=/rw/upper,workdir=/rw/work" /root
for folder in proc sys dev; do
  setup "bind /$folder into the guest's root" mount --bind "/$folder" "/root/$folder"
done
setup "mount the guest's /tmp" mount -t tmpfs tmpfs /root/tmp
setup "mount the guest's /run" mount -t tmpfs tmpfs /root/run
# After /tmp and /run: a share whose path lies under either is mounted over them, not hidden.
# A line of the list is "ro PATH" or "rw PATH".
index=0
while IFS= read -r line; do
  path=${line#* }
  setup "make the mount point of share$index, $path" mkdir -p "/root$path"
  if [ "${line%% *}" = ro ]; then
    mkdir -p "/shares/$index" "/rw/share$index/upper" "/rw/share$index/work"
    setup "mount share$index, $path" \
      mount -t 9p -o "$share,ro,cache=loose" "share$index" "/shares/$index"
    setup "lay the memory over share$index at $path" mount -t overlay overlay -o \
      "lowerdir=/shares/$index,upperdir=/rw/share$index/upper,workdir=/rw/share$index/work" \
      "/root$path"
  else
    setup "mount share$index at $path" \
      mount -t 9p -o "$share,cache=loose" "share$index" "/root$path"
  fi
  index=$((index + 1))
done </job/shares
setup "copy the job into the guest's /run" cp /job/job.sh /root/run/quoril-job.sh

{
  # A layer of libraries brings its own search paths; the drivers come from the host's root.
  chroot /root ldconfig
  chroot /root modprobe -a ata_piix virtio_scsi sr_mod
  # The controllers probe in the background: wait, within bounds, for every drive and its node.
  tries=0
  while [ "$tries" -lt 300 ]; do
    found=0
    for block in /sys/block/sr*; do
      [ -e "$block" ] && [ -e "/dev/${block##*/}" ] && found=$((found + 1))
    done
    [ "$found" -ge "$drives" ] && break
    sleep 0.1
    tries=$((tries + 1))
  done
  [ "$found" -ge "$drives" ] || echo "guest: only $found of $drives optical drives appeared"
  chroot /root /bin/sh /run/quoril-job.sh
  echo $? >/job/job.sh.status.new
} >/job/job.sh.out 2>&1
# What the job wrote into the shares leaves the guest's cache before the PC goes off.
sync
tac /job/shares | while IFS= read -r line; do umount "/root${line#* }"; done
mv /job/job.sh.status.new /job/job.sh.status
sync
poweroff -f
