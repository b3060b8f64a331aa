#!/usr/bin/env python3
"""Independent ZIP reader and archive maker for the archive tests (stdlib only).

  ziptool.py inspect ARCHIVE            JSON: zipfile's view plus the raw local headers
  ziptool.py make KIND OUT [NAME...]    writes a test archive (kinds below)
  ziptool.py hold PATH                  keeps PATH open for writing until stdin closes
  ziptool.py grow PATH                  keeps appending to PATH until stdin closes
"""
import io
import json
import os
import struct
import sys
import threading
import time
import zipfile


def raw_name(info):
    # Names without the UTF-8 flag come back decoded as cp437, which maps every byte.
    if info.flag_bits & 0x800:
        return info.filename.encode("utf-8")
    return info.orig_filename.encode("cp437")


def inspect(path):
    data = open(path, "rb").read()
    out = {"size": len(data), "descriptorSignature": b"PK\x07\x08" in data}
    with zipfile.ZipFile(path) as z:
        out["testzip"] = z.testzip()
        entries = []
        for info in z.infolist():
            local = data[info.header_offset:info.header_offset + 30]
            (sig, need, flags, method, dtime, ddate, crc, csize, usize, nlen,
             xlen) = struct.unpack("<IHHHHHIIIHH", local)
            name_at = info.header_offset + 30
            local_extra = data[name_at + nlen:name_at + nlen + xlen]
            data_at = name_at + nlen + xlen
            entries.append({
                "name": raw_name(info).hex(),
                "flags": info.flag_bits,
                "method": info.compress_type,
                "crc": info.CRC,
                "size": info.file_size,
                "compressedSize": info.compress_size,
                "externalAttributes": info.external_attr,
                "createVersion": info.create_version,
                "createSystem": info.create_system,
                "extractVersion": info.extract_version,
                "centralExtra": info.extra.hex(),
                "offset": info.header_offset,
                "local": {"signature": sig, "need": need, "flags": flags, "method": method,
                          "dosTime": dtime, "dosDate": ddate, "crc": crc,
                          "compressedSize": csize, "size": usize, "nameLength": nlen,
                          "extra": local_extra.hex()},
                "storedData": data[data_at:data_at + csize].hex() if method == 0 and csize < 200000 else "",
            })
        out["entries"] = entries
    json.dump(out, sys.stdout)


def rename(path, names):
    """zipfile writes non-ASCII names as UTF-8; write placeholders of the same length, then
    put the GBK bytes in their place in both headers."""
    data = open(path, "rb").read()
    for placeholder, text in names.items():
        gbk = text.encode("gbk")
        assert len(gbk) == len(placeholder)
        data = data.replace(placeholder.encode(), gbk)
    open(path, "wb").write(data)


def entry(name, date=(2021, 5, 6, 7, 8, 10), method=zipfile.ZIP_DEFLATED, attrs=0x81A40020):
    info = zipfile.ZipInfo(name, date)
    info.compress_type = method
    info.external_attr = attrs
    return info


def tree_entries(z, method):
    z.writestr(entry("top.txt", method=method), b"top level text\n" * 300)
    z.writestr(entry("sub/", attrs=0x41ED0010, method=zipfile.ZIP_STORED), b"")
    z.writestr(entry("sub/inner.bin", method=method), bytes(range(256)) * 40)
    z.writestr(entry("sub/deeper/", attrs=0x41ED0010, method=zipfile.ZIP_STORED), b"")
    z.writestr(entry("sub/deeper/empty.txt", method=method), b"")


class Unseekable(io.RawIOBase):
    """Makes zipfile write data descriptors, as it does on a pipe."""

    def __init__(self, f):
        self.f = f

    def writable(self):
        return True

    def write(self, b):
        return self.f.write(b)

    def seekable(self):
        return False


def make(kind, out, names):
    if kind in ("deflated", "stored", "descriptor"):
        method = zipfile.ZIP_STORED if kind == "stored" else zipfile.ZIP_DEFLATED
        with open(out, "wb") as f:
            target = Unseekable(f) if kind == "descriptor" else f
            with zipfile.ZipFile(target, "w") as z:
                tree_entries(z, method)
    elif kind == "gbk":
        with zipfile.ZipFile(out, "w") as z:
            z.writestr(entry("QQQQ/", attrs=0x41ED0010, method=zipfile.ZIP_STORED), b"")
            z.writestr(entry("QQQQ/WWWWWW.txt"), "答案".encode("gbk") * 100)
        rename(out, {"QQQQ": "试卷", "WWWWWW": "第一题"})
    elif kind == "method12":
        with zipfile.ZipFile(out, "w") as z:
            z.writestr(entry("first.txt"), b"first\n" * 50)
            z.writestr(entry("second.bin"), b"second\n" * 50)
            z.writestr(entry("third.txt"), b"third\n" * 50)
        data = bytearray(open(out, "rb").read())
        # Turn the second entry into bzip2 (12) in both of its headers.
        with zipfile.ZipFile(out) as z:
            second = z.getinfo("second.bin")
        struct.pack_into("<H", data, second.header_offset + 8, 12)
        central = data.find(b"PK\x01\x02second.bin"[:4], 0)
        while central >= 0:
            nlen = struct.unpack_from("<H", data, central + 28)[0]
            if bytes(data[central + 46:central + 46 + nlen]) == b"second.bin":
                struct.pack_into("<H", data, central + 10, 12)
            central = data.find(b"PK\x01\x02", central + 4)
        open(out, "wb").write(bytes(data))
    elif kind == "readonly":
        with zipfile.ZipFile(out, "w") as z:
            z.writestr(entry("locked.txt", attrs=(0o100444 << 16) | 0x01), b"read only\n")
    elif kind == "slip":
        # The first entry is harmless; each further name is written as given.
        with zipfile.ZipFile(out, "w") as z:
            z.writestr(entry("good.txt"), b"good\n")
            for name in names:
                z.writestr(entry(name), b"escaped\n")
    elif kind == "badcrc":
        with zipfile.ZipFile(out, "w") as z:
            z.writestr(entry("ok.txt"), b"fine\n")
            z.writestr(entry("bad.txt", method=zipfile.ZIP_STORED), b"original data\n")
            z.writestr(entry("after.txt"), b"after\n")
        data = bytearray(open(out, "rb").read())
        at = data.find(b"original data")
        data[at:at + 8] = b"ORIGINAL"
        open(out, "wb").write(bytes(data))
    elif kind == "nofolders":
        with zipfile.ZipFile(out, "w") as z:
            z.writestr(entry("a/b/c.txt"), b"nested without folder entries\n")
            z.writestr(entry("a/d.txt"), b"second\n")
    elif kind == "slashfile":
        with zipfile.ZipFile(out, "w") as z:
            z.writestr(entry("plain/", attrs=0, method=zipfile.ZIP_STORED), b"")
            z.writestr(entry("plain/x.txt", attrs=0), b"x\n")
    else:
        raise SystemExit("unknown kind " + kind)


def hold(path, grow):
    f = open(path, "ab")
    stop = threading.Event()

    def waiter():
        sys.stdin.read()
        stop.set()

    threading.Thread(target=waiter, daemon=True).start()
    if grow:
        f.close()
    print("ready", flush=True)
    while not stop.is_set():
        if grow:
            with open(path, "ab") as g:
                g.write(b"more bytes\n" * 1000)
        time.sleep(0.002)
    if not grow:
        f.close()


def main():
    cmd = sys.argv[1]
    if cmd == "inspect":
        inspect(sys.argv[2])
    elif cmd == "make":
        make(sys.argv[2], sys.argv[3], sys.argv[4:])
    elif cmd in ("hold", "grow"):
        hold(sys.argv[2], cmd == "grow")
    else:
        raise SystemExit(__doc__)


if __name__ == "__main__":
    main()
