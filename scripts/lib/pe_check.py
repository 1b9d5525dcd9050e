#!/usr/bin/env python3
"""Checks the resources a shipped Windows program must carry: its manifest (administrator
rights, common controls 6 and, where asked, per-monitor DPI awareness), its version
information and, where asked, an icon group.
Reads the PE file directly, so it works on 32- and 64-bit programs alike."""

import argparse
import struct
import sys
import xml.etree.ElementTree as ElementTree

RT_GROUP_ICON = 14
RT_VERSION = 16
RT_MANIFEST = 24
RESOURCE_TABLE = 2
FIXED_INFO_SIGNATURE = struct.pack("<I", 0xFEEF04BD)


class PeError(Exception):
    pass


class PeFile:
    def __init__(self, path):
        with open(path, "rb") as image:
            self.data = image.read()
        if self.data[:2] != b"MZ":
            raise PeError("not a Windows program (no MZ header)")
        header = self._u32(0x3C)
        if self.data[header:header + 4] != b"PE\0\0":
            raise PeError("no PE signature")
        self.machine, sections, _, _, _, optional_size, _ = struct.unpack_from("<HHIIIHH", self.data, header + 4)
        optional = header + 24
        magic = self._u16(optional)
        if magic == 0x10B:
            self.kind, directories = "PE32", optional + 96
        elif magic == 0x20B:
            self.kind, directories = "PE32+", optional + 112
        else:
            raise PeError(f"unknown optional header magic {magic:#x}")
        count = self._u32(directories - 4)
        self.resource_rva = self._u32(directories + 8 * RESOURCE_TABLE) if count > RESOURCE_TABLE else 0
        table = optional + optional_size
        self.sections = []
        for index in range(sections):
            entry = table + 40 * index
            size, rva, raw_size, raw_offset = struct.unpack_from("<IIII", self.data, entry + 8)
            self.sections.append((rva, max(size, raw_size), raw_offset))

    def _u16(self, offset):
        return struct.unpack_from("<H", self.data, offset)[0]

    def _u32(self, offset):
        return struct.unpack_from("<I", self.data, offset)[0]

    def offset_of(self, rva):
        for start, size, raw in self.sections:
            if start <= rva < start + size:
                return raw + rva - start
        raise PeError(f"address {rva:#x} lies in no section")

    def resources(self):
        """{(type, name): [data, ...]} over all languages; names are ints or texts."""
        found = {}
        if not self.resource_rva:
            return found
        root = self.offset_of(self.resource_rva)
        for kind, kind_dir in self._entries(root, root):
            for name, name_dir in self._entries(root, kind_dir):
                for _, leaf in self._entries(root, name_dir):
                    rva, size = struct.unpack_from("<II", self.data, leaf)
                    start = self.offset_of(rva)
                    found.setdefault((kind, name), []).append(self.data[start:start + size])
        return found

    def _entries(self, root, directory):
        named, numbered = struct.unpack_from("<HH", self.data, directory + 12)
        for index in range(named + numbered):
            name, target = struct.unpack_from("<II", self.data, directory + 16 + 8 * index)
            if name & 0x80000000:
                text = root + (name & 0x7FFFFFFF)
                length = self._u16(text)
                name = self.data[text + 2:text + 2 + 2 * length].decode("utf-16-le")
            yield name, root + (target & 0x7FFFFFFF)


def local_name(tag):
    return tag.rsplit("}", 1)[-1]


def dpi_awareness_problems(root):
    """Per-monitor awareness v2, with the older forms for the systems that lack it: Windows
    10 from 1703 reads dpiAwareness (its first entry it knows), Windows 8.1 and 7 dpiAware."""
    problems = []
    awareness = [node.text or "" for node in root.iter() if local_name(node.tag) == "dpiAwareness"]
    entries = [entry.strip().lower() for entry in awareness[0].split(",")] if len(awareness) == 1 else []
    if entries[:2] != ["permonitorv2", "permonitor"]:
        problems.append(f"the manifest declares DPI awareness {awareness or 'none'}, not PerMonitorV2, PerMonitor")
    aware = [(node.text or "").strip().lower() for node in root.iter() if local_name(node.tag) == "dpiAware"]
    if aware != ["true/pm"]:
        problems.append(f"the manifest's dpiAware is {aware or 'missing'}, not true/pm")
    return problems


def manifest_problems(text, dpi_aware=False):
    try:
        root = ElementTree.fromstring(text)
    except ElementTree.ParseError as error:
        return [f"the manifest is not XML ({error})"]
    problems = []
    levels = [node.get("level") for node in root.iter() if local_name(node.tag) == "requestedExecutionLevel"]
    if levels != ["requireAdministrator"]:
        problems.append(f"the manifest requests execution level {levels or 'none'}, not requireAdministrator")
    controls = [node.get("version", "") for node in root.iter()
                if local_name(node.tag) == "assemblyIdentity"
                and node.get("name") == "Microsoft.Windows.Common-Controls"]
    if not any(version.startswith("6.") for version in controls):
        problems.append("the manifest does not ask for version 6 of the common controls")
    if dpi_aware:
        problems += dpi_awareness_problems(root)
    return problems


def fixed_file_version(block):
    at = block.find(FIXED_INFO_SIGNATURE)
    if at < 0:
        return None
    high, low = struct.unpack_from("<II", block, at + 8)
    return f"{high >> 16}.{high & 0xFFFF}.{low >> 16}.{low & 0xFFFF}"


def check(path, icon, dpi_aware=False):
    """(summary, problems) for one program."""
    image = PeFile(path)
    found = image.resources()
    problems = []
    notes = [image.kind]

    manifests = [blob for (kind, _), blobs in found.items() if kind == RT_MANIFEST for blob in blobs]
    if len(manifests) != 1:
        problems.append(f"{len(manifests)} manifests instead of one")
    else:
        problems += manifest_problems(manifests[0], dpi_aware)
        notes.append("manifest, per-monitor DPI aware" if dpi_aware else "manifest")

    versions = [blob for (kind, _), blobs in found.items() if kind == RT_VERSION for blob in blobs]
    version = fixed_file_version(versions[0]) if versions else None
    if version is None:
        problems.append("no version information")
    else:
        notes.append(f"version {version}")

    if icon is not None:
        if (RT_GROUP_ICON, icon) in found:
            notes.append(f"icon {icon}")
        else:
            problems.append(f"no icon resource {icon}")
    return ", ".join(notes), problems


def main(argv=None):
    parser = argparse.ArgumentParser(description="Check a program's manifest, version information and icon.")
    parser.add_argument("program")
    parser.add_argument("--icon", type=int, help="icon group id the program must carry")
    parser.add_argument("--dpi-aware", action="store_true", help="the manifest must declare per-monitor DPI awareness")
    args = parser.parse_args(argv)
    try:
        summary, problems = check(args.program, args.icon, args.dpi_aware)
    except (OSError, PeError, struct.error) as error:
        print(f"pe_check: {args.program}: {error}", file=sys.stderr)
        return 1
    for problem in problems:
        print(f"pe_check: {args.program}: {problem}", file=sys.stderr)
    if problems:
        return 1
    print(f"{args.program}: {summary}")
    return 0


if __name__ == "__main__":
    sys.exit(main())
