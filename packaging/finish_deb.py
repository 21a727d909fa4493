#!/usr/bin/env python3
"""Finishes the .deb that CPack wrote, in place.

    finish_deb.py <package.deb> <epoch>

- Every member of the package's archives gets the time <epoch>, owner and
  group root, and the archives are compressed without a time or name in
  them: the same files give the same package, byte for byte.
- The data archive loses its entry for /opt itself. CPack lists every parent
  folder of what it installs; a package that lists /opt owns it, and dpkg
  would take /opt away when the last package that lists it goes. /opt is the
  system's (it is there on every Debian system); only /opt/zelvoran is ours.
"""
import gzip
import io
import os
import sys
import tarfile

# Folders that the system owns: listed by no package of ours.
SYSTEM_FOLDERS = {"./opt", "./opt/"}


def read_ar(data):
    if not data.startswith(b"!<arch>\n"):
        raise SystemExit("finish_deb: not an ar archive")
    members, at = [], 8
    while at < len(data):
        header = data[at:at + 60]
        name = header[0:16].decode().rstrip().rstrip("/")
        size = int(header[48:58].decode().strip())
        members.append((name, data[at + 60:at + 60 + size]))
        at += 60 + size + (size % 2)
    return members


def write_ar(members, epoch):
    out = bytearray(b"!<arch>\n")
    for name, content in members:
        out += ("%-16s%-12d%-6d%-6d%-8s%-10d`\n"
                % (name, epoch, 0, 0, "100644", len(content))).encode()
        out += content
        if len(content) % 2:
            out += b"\n"
    return bytes(out)


def normalised_tar(compressed, epoch, drop=frozenset()):
    source = tarfile.open(fileobj=io.BytesIO(gzip.decompress(compressed)))
    target_bytes = io.BytesIO()
    with tarfile.open(fileobj=target_bytes, mode="w", format=tarfile.GNU_FORMAT) as target:
        for member in source.getmembers():
            if member.name in drop:
                continue
            member.mtime = epoch
            member.uid = member.gid = 0
            member.uname = member.gname = "root"
            content = source.extractfile(member) if member.isfile() else None
            target.addfile(member, content)
    return gzip.compress(target_bytes.getvalue(), compresslevel=9, mtime=0)


def main():
    deb, epoch = sys.argv[1], int(sys.argv[2])
    with open(deb, "rb") as f:
        members = read_ar(f.read())
    finished = []
    for name, content in members:
        if name == "control.tar.gz":
            content = normalised_tar(content, epoch)
        elif name == "data.tar.gz":
            content = normalised_tar(content, epoch, SYSTEM_FOLDERS)
        elif name != "debian-binary":
            raise SystemExit("finish_deb: unexpected member " + name)
        finished.append((name, content))
    with open(deb + ".part", "wb") as f:
        f.write(write_ar(finished, epoch))
    os.replace(deb + ".part", deb)


if __name__ == "__main__":
    main()
