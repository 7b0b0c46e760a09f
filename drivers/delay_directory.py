"""Fills in the delay-import data directory of a DLL linked by GNU ld, which
leaves it empty though dlltool's delay-import library put a descriptor in:
   delay_directory.py DLL MAP
MAP is the link's map file (-Wl,-Map); the descriptor there must be followed
by an empty one (delay_end.c), as a table of them ends."""
import re
import struct
import sys

dll, link_map = sys.argv[1], sys.argv[2]
with open(link_map) as text:
    found = re.search(r"^\s+0x([0-9a-f]+)\s+_?_DELAY_IMPORT_DESCRIPTOR_", text.read(), re.M)
if not found:
    sys.exit(f"{link_map}: no delay-import descriptor")
with open(dll, "r+b") as image:
    data = bytearray(image.read())
    header = struct.unpack_from("<I", data, 0x3C)[0]
    optional = header + 24
    wide = struct.unpack_from("<H", data, optional)[0] == 0x20B
    base = struct.unpack_from("<Q" if wide else "<I", data, optional + (24 if wide else 28))[0]
    directories = optional + (112 if wide else 96)
    struct.pack_into("<II", data, directories + 13 * 8, int(found.group(1), 16) - base, 64)
    image.seek(0)
    image.write(data)
