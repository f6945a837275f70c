#!/usr/bin/env python3
"""Writes a release archive whose bytes depend only on the files staged for it.

    write_archive.py <staged folder> <archive.zip | archive.tar.gz> <seconds since 1970>

The archive holds the staged folder itself, as its one top-level folder, and everything
under it in name order, every entry with the given time, no owner, and the mode 755 for
folders and executables, 644 for the rest. CPack's own archives carry the packaging
time, the packager's user and the file system's order.
"""

import gzip
import os
import sys
import tarfile
import time
import zipfile


def entries(staged):
    """(path in the archive, path on disk, is a folder) for the staged folder and below."""
    top = os.path.basename(os.path.normpath(staged))
    found = [(top, staged, True)]
    for folder, subfolders, files in os.walk(staged):
        subfolders.sort()
        relative = os.path.relpath(folder, os.path.dirname(os.path.normpath(staged)))
        for name in sorted(subfolders):
            found.append((f"{relative}/{name}", os.path.join(folder, name), True))
        for name in sorted(files):
            found.append((f"{relative}/{name}", os.path.join(folder, name), False))
    return sorted(found)


def mode_of(path, is_folder):
    return 0o755 if is_folder or os.access(path, os.X_OK) else 0o644


def write_tar_gz(staged, output, mtime):
    with open(output, "wb") as raw, gzip.GzipFile(
        filename="", mode="wb", fileobj=raw, mtime=mtime, compresslevel=9
    ) as compressed, tarfile.open(fileobj=compressed, mode="w", format=tarfile.USTAR_FORMAT) as tar:
        for name, path, is_folder in entries(staged):
            info = tarfile.TarInfo(name)
            info.mtime = mtime
            info.mode = mode_of(path, is_folder)
            if is_folder:
                info.type = tarfile.DIRTYPE
                tar.addfile(info)
            else:
                info.size = os.path.getsize(path)
                with open(path, "rb") as data:
                    tar.addfile(info, data)


def write_zip(staged, output, mtime):
    stamp = time.gmtime(mtime)[:6]
    with zipfile.ZipFile(output, "w") as archive:
        for name, path, is_folder in entries(staged):
            info = zipfile.ZipInfo(name + ("/" if is_folder else ""), date_time=stamp)
            info.create_system = 3  # Unix, so that the modes below are read
            info.external_attr = (mode_of(path, is_folder) | (0o040000 if is_folder else 0o100000)) << 16
            if is_folder:
                archive.writestr(info, b"")
            else:
                info.compress_type = zipfile.ZIP_DEFLATED
                with open(path, "rb") as data:
                    archive.writestr(info, data.read(), compresslevel=9)


def main(argv):
    if len(argv) != 4 or not argv[3].isdigit():
        sys.exit("usage: write_archive.py <staged folder> <archive.zip|archive.tar.gz> <epoch>")
    staged, output, mtime = argv[1], argv[2], int(argv[3])
    if output.endswith(".zip"):
        write_zip(staged, output, mtime)
    elif output.endswith(".tar.gz"):
        write_tar_gz(staged, output, mtime)
    else:
        sys.exit(f"write_archive.py: no format for {output}")


if __name__ == "__main__":
    main(sys.argv)
