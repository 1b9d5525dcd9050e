"""Packs files into a zip archive whose bytes depend only on their names, contents and one date.

    pack_zip.py OUTPUT "YYYY-MM-DD HH:MM:SS" FILE...   (paths relative to the current folder)

Every entry gets that date and plain read-write permissions, and no extra fields: no access
or change times of the checkout, no owner.
"""

import sys
import zipfile


def main(argv):
    output, date, names = argv[1], argv[2], argv[3:]
    day, time = date.split(" ")
    stamp = tuple(int(part) for part in day.split("-")) + tuple(int(part) for part in time.split(":"))
    with zipfile.ZipFile(output, "w") as archive:
        for name in names:
            entry = zipfile.ZipInfo(name.replace("\\", "/"), date_time=stamp)
            entry.compress_type = zipfile.ZIP_DEFLATED
            entry.external_attr = 0o100644 << 16
            with open(name, "rb") as source:
                archive.writestr(entry, source.read(), compresslevel=9)
    return 0


if __name__ == "__main__":
    sys.exit(main(sys.argv))
