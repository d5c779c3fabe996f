#!/usr/bin/env python3
"""Prints "ready", then the name of every file created in (or moved into) FOLDER, one a line,
until a file named END is created there (printed too), or until killed.
Usage: watch_created.py FOLDER [END]"""
import ctypes
import os
import struct
import sys

IN_CREATE, IN_MOVED_TO = 0x100, 0x80

libc = ctypes.CDLL(None, use_errno=True)
fd = libc.inotify_init()
if fd < 0 or libc.inotify_add_watch(fd, sys.argv[1].encode(), IN_CREATE | IN_MOVED_TO) < 0:
    sys.exit("watch_created: inotify: " + os.strerror(ctypes.get_errno()))
print("ready", flush=True)
while True:
    data = os.read(fd, 65536)
    at = 0
    while at < len(data):
        _, _, _, length = struct.unpack_from("iIII", data, at)
        name = data[at + 16:at + 16 + length].split(b"\0", 1)[0].decode(errors="replace")
        print(name, flush=True)
        if len(sys.argv) > 2 and name == sys.argv[2]:
            sys.exit(0)
        at += 16 + length
