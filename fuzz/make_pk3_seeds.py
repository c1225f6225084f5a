#!/usr/bin/env python3
"""Writes the seed archives for the .pk3 fuzz target into fuzz/seeds/pk3/: stored and
deflated members, folders, names that differ only in case, unsafe names, and headers that
claim far more than they hold. Run it again only to change the seeds; its output is committed."""
import io
import os
import struct
import zipfile

ROOT = os.path.dirname(os.path.abspath(__file__))
OUT = os.path.join(ROOT, "seeds", "pk3")


def archive(members, method=zipfile.ZIP_STORED, links=()):
    """Members are (name, bytes); links are (name, target) written as Unix symbolic links."""
    buf = io.BytesIO()
    with zipfile.ZipFile(buf, "w", method) as z:
        for name, data in members:
            z.writestr(zipfile.ZipInfo(name, (1980, 1, 1, 0, 0, 0)), data, compress_type=method)
        for name, target in links:
            info = zipfile.ZipInfo(name, (1980, 1, 1, 0, 0, 0))
            info.create_system = 3  # Unix
            info.external_attr = 0o120777 << 16
            z.writestr(info, target, compress_type=method)
    return buf.getvalue()


def claim(data, size):
    """Rewrites every uncompressed size field (local and central headers) to `size`."""
    out = bytearray(data)
    i = 0
    while True:
        i = out.find(b"PK\x03\x04", i)
        if i < 0:
            break
        struct.pack_into("<I", out, i + 22, size)
        i += 4
    i = 0
    while True:
        i = out.find(b"PK\x01\x02", i)
        if i < 0:
            break
        struct.pack_into("<I", out, i + 24, size)
        i += 4
    return bytes(out)


def main():
    os.makedirs(OUT, exist_ok=True)
    level = [("maps/small.bsp", b"IBSP" + bytes(140)), ("textures/base/wall.tga", bytes(18) + b"\x80" * 12),
             ("scripts/base.shader", b"textures/base/wall\n{\n  { map $lightmap }\n}\n")]
    seeds = {
        "stored.pk3": archive(level),
        "deflated.pk3": archive(level * 1, zipfile.ZIP_DEFLATED),
        "case.pk3": archive([("Maps/A.bsp", b"upper"), ("maps/a.bsp", b"lower"), ("MAPS/a.BSP", b"mixed")]),
        "unsafe.pk3": archive([("../up.txt", b"parent"), ("/abs.txt", b"absolute"), ("a/../../b.txt", b"deep"),
                               ("c:/drive.txt", b"drive")]),
        "link.pk3": archive(level, links=[("textures/base/link.tga", "wall.tga"), ("maps", "textures")]),
        "link-claims-2gb.pk3": claim(archive(level[:1], links=[("textures/link.tga", "x.tga")]), 0x7FFFFFFF),
        "link-claims-1gb.pk3": claim(archive([], zipfile.ZIP_DEFLATED, links=[("a", "b" * 40)]), 1 << 30),
        "claims.pk3": claim(archive([("big.bin", b"\0" * 64)], zipfile.ZIP_DEFLATED), 0x7FFFFFFF),
        "small-claim.pk3": claim(archive([("short.bin", b"x" * 200)], zipfile.ZIP_DEFLATED), 20),
        "empty.pk3": archive([]),
        "middle-parent.pk3": archive([("textures/../../x.tga", b"parent in the middle"), ("textures/./y.tga", b"y"),
                                      ("textures/a/../b.tga", b"b")]),
        "huge-picture.pk3": claim(archive([("textures/huge.tga", bytes(18) + b"\x80" * 12)], zipfile.ZIP_DEFLATED),
                                  256 << 20),
    }
    for name, data in seeds.items():
        with open(os.path.join(OUT, name), "wb") as f:
            f.write(data)


if __name__ == "__main__":
    main()
