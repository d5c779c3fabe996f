#!/usr/bin/env python3
"""Prints "ready", then the name of every file created in (or moved into) FOLDER, one a line,
until a file named END is created there (printed too), or until killed.
Usage: watch_created.py FOLDER [END]"""
import ctypes
import os
import struct
import sys

IN_MOVED_FROM, IN_MOVED_TO, IN_CREATE = 0x40, 0x80, 0x100

libc = ctypes.CDLL(None, use_errno=True)
fd = libc.inotify_init()
# The kernel merges an event into the unread one before it when both are alike (mask and name,
# not the rename's cookie): two renames onto one name read late would be one line. Each rename's
# own "moved from" comes between them and keeps them apart; it is not printed.
if fd < 0 or libc.inotify_add_watch(fd, sys.argv[1].encode(), IN_CREATE | IN_MOVED_TO | IN_MOVED_FROM) < 0:
    sys.exit("watch_created: inotify: " + os.strerror(ctypes.get_errno()))
print("ready", flush=True)
while True:
    data = os.read(fd, 65536)
    at = 0
    while at < len(data):
        _, mask, _, length = struct.unpack_from("iIII", data, at)
        name = data[at + 16:at + 16 + length].split(b"\0", 1)[0].decode(errors="replace")
        at += 16 + length
        if mask & IN_MOVED_FROM:
            continue
        print(name, flush=True)
        if len(sys.argv) > 2 and name == sys.argv[2]:
            sys.exit(0)
