#!/usr/bin/env bash
# small_disk.sh mount|unmount FOLDER: a 2 MiB tmpfs at FOLDER for the disk-full update, with
# FOLDER.mounted beside it while it is there. Without root nothing is mounted and the test skips.
set -u
action=$1
folder=$(realpath -m "$2")
case "$action" in
mount)
    "$0" unmount "$folder"
    mkdir -p "$folder"
    if [ "$(id -u)" = 0 ] && mount -t tmpfs -o size=2m reliability-small-disk "$folder"; then
        touch "$folder.mounted"
    else
        echo "small_disk: no tmpfs mounted at $folder; the disk-full test will skip"
    fi
    ;;
unmount)
    rm -f "$folder.mounted"
    if mountpoint -q "$folder"; then
        umount "$folder" || umount -l "$folder"
    fi
    ;;
esac
exit 0
