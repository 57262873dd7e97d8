#!/usr/bin/env python3
"""Clears the two compile times chmcmd writes into a help file (the header's
time stamp and the #SYSTEM file's time entry, both the millisecond of the
day), so one commit compiles to the same bytes. Usage: chm-without-time.py FILE"""
import struct, sys

ITSF_TIME = 0x10          # big-endian dword in the ITSF header
SYSTEM_TIME_CODE = 10     # #SYSTEM entry holding the compile time

def encint(data, pos):
    value = 0
    while True:
        byte = data[pos]
        pos += 1
        value = (value << 7) | (byte & 0x7F)
        if not byte & 0x80:
            return value, pos

def main(path):
    data = bytearray(open(path, "rb").read())
    if data[:4] != b"ITSF" or struct.unpack_from("<I", data, 4)[0] != 3:
        sys.exit(f"{path}: not a version 3 help file")
    data[ITSF_TIME:ITSF_TIME + 4] = bytes(4)
    directory, directory_length, content = struct.unpack_from("<QQQ", data, 0x48)
    name = b"\x08/#SYSTEM"  # the directory entry: name length, then name
    at = data.find(name, directory, directory + directory_length)
    if at < 0:
        sys.exit(f"{path}: no #SYSTEM file")
    section, pos = encint(data, at + len(name))
    offset, pos = encint(data, pos)
    length, pos = encint(data, pos)
    if section != 0:
        sys.exit(f"{path}: #SYSTEM is compressed")
    pos, end = content + offset + 4, content + offset + length  # after its version dword
    cleared = False
    while pos + 4 <= end:
        code, size = struct.unpack_from("<HH", data, pos)
        if code == SYSTEM_TIME_CODE:
            data[pos + 4:pos + 4 + size] = bytes(size)
            cleared = True
        pos += 4 + size
    if not cleared:
        sys.exit(f"{path}: no time entry in #SYSTEM")
    open(path, "wb").write(data)

main(sys.argv[1])
