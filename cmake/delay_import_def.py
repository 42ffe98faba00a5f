#!/usr/bin/env python3
"""Writes the module-definition file of one DLL from a MinGW import library: the DLL's name and every
function the library imports, each with the name the DLL exports it under. dlltool makes the delay-load
import library from it, so that library offers exactly what the ordinary one does.

usage: delay_import_def.py IMPORT_LIBRARY OUTPUT_DEF

MinGW import libraries are ar archives of small COFF objects, one per function: its "__imp_" symbol,
and the hint and name it is imported by in section .idata$6 (an import by ordinal has no .idata$6 and
its ordinal in .idata$4). One more member names the DLL in .idata$7. Data imports (an "__imp_" symbol
without the function's own code symbol) cannot be delay-loaded and are left out.
"""

import struct
import sys

IMP_PREFIX = "__imp_"
I386 = 0x14C
ORDINAL_FLAG_32 = 0x80000000
ORDINAL_FLAG_64 = 0x8000000000000000


def archive_members(data):
    """The contents of every object member of an ar archive (GNU or System V names)."""
    if not data.startswith(b"!<arch>\n"):
        raise ValueError("not an ar archive")
    offset = 8
    while offset + 60 <= len(data):
        name = data[offset:offset + 16].decode("ascii").strip()
        size = int(data[offset + 48:offset + 58].decode("ascii").strip())
        body = data[offset + 60:offset + 60 + size]
        offset += 60 + size + (size & 1)
        if name in ("/", "//", "/SYM64/"):
            continue
        yield body


class CoffObject:
    def __init__(self, data):
        (self.machine, section_count, _, symbol_table, symbol_count, optional_size,
         _) = struct.unpack_from("<HHIIIHH", data, 0)
        self.data = data
        self.sections = {}
        for index in range(section_count):
            header = 20 + optional_size + 40 * index
            name = data[header:header + 8].rstrip(b"\0").decode("ascii")
            raw_size, raw_pointer = struct.unpack_from("<II", data, header + 16)
            self.sections.setdefault(name, data[raw_pointer:raw_pointer + raw_size])
        strings = symbol_table + 18 * symbol_count
        self.symbols = {}
        index = 0
        while index < symbol_count:
            entry = symbol_table + 18 * index
            if data[entry:entry + 4] == b"\0\0\0\0":
                (string_offset,) = struct.unpack_from("<I", data, entry + 4)
                end = data.index(b"\0", strings + string_offset)
                name = data[strings + string_offset:end].decode("ascii")
            else:
                name = data[entry:entry + 8].rstrip(b"\0").decode("ascii")
            section_number, _, storage_class, aux_count = struct.unpack_from("<hHBB", data, entry + 12)
            if storage_class == 2 and section_number > 0:  # external, defined here
                self.symbols[name] = section_number
            index += 1 + aux_count


def c_name(symbol, machine):
    """The C name of a symbol: i686 prefixes one underscore."""
    return symbol[1:] if machine == I386 and symbol.startswith("_") else symbol


def import_entry(obj):
    """(C symbol, imported name or "@ordinal") of a function's member; None for any other member."""
    imports = [s for s in obj.symbols if s.startswith(IMP_PREFIX)]
    if len(imports) != 1:
        return None
    symbol = imports[0][len(IMP_PREFIX):]
    if symbol not in obj.symbols:
        return None  # data: nothing to call through a stub
    name = c_name(symbol, obj.machine)
    hint_name = obj.sections.get(".idata$6")
    if hint_name:
        return name, hint_name[2:].split(b"\0", 1)[0].decode("ascii")
    thunk = obj.sections[".idata$4"]
    if obj.machine == I386:
        (value,) = struct.unpack_from("<I", thunk)
        flag = ORDINAL_FLAG_32
    else:
        (value,) = struct.unpack_from("<Q", thunk)
        flag = ORDINAL_FLAG_64
    if not value & flag:
        raise ValueError(f"{name}: neither a name nor an ordinal")
    return name, "@%d" % (value & 0xFFFF)


def dll_name(obj):
    if not any(s.endswith("_iname") for s in obj.symbols):
        return None
    return obj.sections[".idata$7"].split(b"\0", 1)[0].decode("ascii")


def definition_lines(library_path):
    with open(library_path, "rb") as library:
        objects = [CoffObject(member) for member in archive_members(library.read())]
    names = [name for name in map(dll_name, objects) if name]
    if len(set(names)) != 1:
        raise ValueError(f"{library_path} names {len(set(names))} DLLs, not one")
    lines = [f'LIBRARY "{names[0]}"', "EXPORTS"]
    for entry in sorted(filter(None, map(import_entry, objects))):
        symbol, imported = entry
        if imported.startswith("@"):
            lines.append(f"{symbol} {imported} NONAME")
        elif symbol.split("@", 1)[0] == imported:
            lines.append(symbol)
        else:
            lines.append(f"{symbol} == {imported}")
    return lines


def main():
    if len(sys.argv) != 3:
        sys.exit(__doc__)
    try:
        lines = definition_lines(sys.argv[1])
    except (OSError, ValueError, KeyError, struct.error) as error:
        sys.exit(f"{sys.argv[1]}: {error}")
    with open(sys.argv[2], "w", encoding="ascii") as out:
        out.write("\n".join(lines) + "\n")


if __name__ == "__main__":
    main()
