#!/usr/bin/env python3
"""Fails when a Windows program's import table names a DLL outside the allowed ones.

usage: check_imports.py PROGRAM ALLOWED_NAME...    (names without ".dll", any case)

Reads the PE file itself, so it checks a 32-bit program as well as a 64-bit one on any machine.
"""

import struct
import sys

IMPORT_DIRECTORY = 1
OPTIONAL_MAGIC_DIRECTORIES = {0x10B: 96, 0x20B: 112}  # PE32, PE32+: offset of the data directories


def imported_dlls(image):
    (pe_offset,) = struct.unpack_from("<I", image, 0x3C)
    if image[:2] != b"MZ" or image[pe_offset:pe_offset + 4] != b"PE\0\0":
        raise ValueError("not a PE file")
    section_count, = struct.unpack_from("<H", image, pe_offset + 6)
    optional_size, = struct.unpack_from("<H", image, pe_offset + 20)
    optional = pe_offset + 24
    magic, = struct.unpack_from("<H", image, optional)
    directories = optional + OPTIONAL_MAGIC_DIRECTORIES[magic]
    import_rva, _ = struct.unpack_from("<II", image, directories + 8 * IMPORT_DIRECTORY)
    sections = []
    for index in range(section_count):
        header = optional + optional_size + 40 * index
        virtual_size, virtual_address, raw_size, raw_pointer = struct.unpack_from("<IIII", image, header + 8)
        sections.append((virtual_address, max(virtual_size, raw_size), raw_pointer))

    def file_offset(rva):
        for start, size, raw in sections:
            if start <= rva < start + size:
                return raw + rva - start
        raise ValueError(f"RVA {rva:#x} lies in no section")

    names = []
    if import_rva == 0:
        return names
    descriptor = file_offset(import_rva)
    while True:
        fields = struct.unpack_from("<IIIII", image, descriptor)
        if not any(fields):
            return names
        name = file_offset(fields[3])
        names.append(image[name:image.index(b"\0", name)].decode("ascii"))
        descriptor += 20


def main():
    if len(sys.argv) < 2:
        sys.exit(__doc__)
    program, allowed = sys.argv[1], {name.lower() + ".dll" for name in sys.argv[2:]}
    try:
        with open(program, "rb") as file:
            names = imported_dlls(file.read())
    except (OSError, ValueError, KeyError, struct.error) as error:
        sys.exit(f"{program}: {error}")
    outside = [name for name in names if name.lower() not in allowed]
    if outside:
        sys.exit(f"{program} imports {', '.join(outside)} directly: Windows would look for "
                 f"{'it' if len(outside) == 1 else 'them'} beside the program first. Delay-load "
                 "(PELORA_DELAY_LOADED_DLLS in cmake/DelayLoad.cmake) or load from the system folder.")


if __name__ == "__main__":
    main()
