#!/bin/sh
# SPDX-License-Identifier: MIT
# Asks an optical drive for its configuration directly, through the Linux SCSI generic interface
# (sg_raw), with the command the drive probe sends: GET CONFIGURATION for every feature from
# feature 0, at most 2048 bytes. Writes what the drive returned to OUT; says nothing unless the
# drive could not be asked.
#
#   ask_drive.sh DEVICE OUT
command -v sg_raw >/dev/null 2>&1 || { echo "sg_raw is not installed (sg3-utils)" >&2; exit 1; }
rm -f "$2"
said=$(sg_raw -r 2048 -o "$2" "$1" 46 00 00 00 00 00 00 08 00 00 2>&1) && [ -f "$2" ] ||
  { echo "sg_raw $1: $said" >&2; exit 1; }
