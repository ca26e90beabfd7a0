#!/bin/busybox sh
# SPDX-License-Identifier: MIT
# The emulated PC's first process (guest.sh puts it into the initial RAM disk): builds the guest's
# root from the host's root file system (read-only, shared as "host"), an optional layer over it
# ("layer") and a memory-backed upper layer that takes every write, mounts the host's build/
# folder (shared writable as "build") at its own path, loads the optical drives' drivers, runs the
# job as root in that root, and powers the PC off. The job's output and exit status go into the
# job's folder: JOB.out and JOB.status beside the job JOB.
/bin/busybox mkdir -p /proc /sys /dev /sbin /usr/bin /usr/sbin /host /layer /rw /root
/bin/busybox --install -s
export PATH=/bin:/sbin:/usr/bin:/usr/sbin
mount -t proc proc /proc
mount -t sysfs sysfs /sys
mount -t devtmpfs devtmpfs /dev
while read -r module; do insmod "/modules/$module"; done </modules.list

setting() { sed -n "s/.*quoril\.$1=\([^ ]*\).*/\1/p" /proc/cmdline; }
build=$(setting build)
job=$(setting job)
drives=$(setting drives)
# The shares read in place may be cached freely: nothing changes them while the guest runs, and
# Wine maps programs straight from their files only where the cache allows it.
share="trans=virtio,version=9p2000.L,msize=262144"
mount -t 9p -o "$share,ro,cache=loose" host /host
lower=/host
if [ -n "$(setting layer)" ]; then
  mount -t 9p -o "$share,ro,cache=loose" layer /layer
  lower=/layer:/host
fi
mount -t tmpfs -o size=90% tmpfs /rw
mkdir -p /rw/upper /rw/work
mount -t overlay overlay -o "lowerdir=$lower,upperdir=/rw/upper,workdir=/rw/work" /root
mount -t 9p -o "$share,cache=loose" build "/root$build"
for folder in proc sys dev; do mount --bind "/$folder" "/root/$folder"; done
mount -t tmpfs tmpfs /root/tmp
mount -t tmpfs tmpfs /root/run

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
  chroot /root /bin/sh "$job"
  echo $? >"/root$job.status.new"
} >"/root$job.out" 2>&1
sync
mv "/root$job.status.new" "/root$job.status"
sync
umount "/root$build"
poweroff -f
