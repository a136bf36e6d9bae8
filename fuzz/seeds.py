#!/usr/bin/env python3
"""Writes the seed corpora of the fuzz targets: the files of examples/, the
files and texts of the conformance vectors, and a few hand-picked inputs.
Usage: seeds.py ROOT OUT CONFORMANCE"""
import hashlib
import os
import re
import sys

root, out, conformance = sys.argv[1], sys.argv[2], sys.argv[3]


def unescape(field):
    """The vectors' C-style escapes, to bytes."""
    def one(m):
        s = m.group(0)
        return {"\\r": b"\r", "\\n": b"\n", "\\t": b"\t", "\\\\": b"\\"}.get(s) or bytes(
            [int(s[2:], 16)])
    parts = re.split(r"(\\x[0-9A-Fa-f]{2}|\\[rnt\\])", field)
    result = b""
    for i, part in enumerate(parts):
        if i % 2:
            result += one(re.match(r".*", part, re.S))
        else:
            result += part.encode("utf-8")
    return result


def vectors(name):
    path = os.path.join(conformance, name)
    if not os.path.exists(path):
        print(f"seeds: {path} missing, seeding without it", file=sys.stderr)
        return []
    with open(path, encoding="utf-8") as f:
        return [line.rstrip("\n").split("\t") for line in f
                if line.strip() and not line.startswith("#")]


def write(target, seeds):
    folder = os.path.join(out, target)
    os.makedirs(folder, exist_ok=True)
    for seed in seeds:
        name = hashlib.sha1(seed).hexdigest()
        with open(os.path.join(folder, name), "wb") as f:
            f.write(seed)


examples = []
for name in sorted(os.listdir(os.path.join(root, "examples"))):
    path = os.path.join(root, "examples", name)
    if os.path.isfile(path) and os.path.getsize(path) < 65536:
        with open(path, "rb") as f:
            examples.append(f.read())

ini_files = [unescape(row[1]) for row in vectors("ini_read.tsv")
             if len(row) > 1 and row[1] != "\\N"]
write("ReadINIValue", examples + ini_files)

store_files = [b"[Entries]\nTRXDemo=TRX Demo-Modul\n\n[TRXDemo]\nDescription=\"a, b\"\n"
               b"Icon=/opt/trx/demo.svg\nStartType=1\nTarget=/opt/trx/demo-tool\n",
               b"\xef\xbb\xbf; comment\r\ntop=1\r\n[General]\r\ng = 2 \r\n[%General]\r\n"
               b"A=eins\\\r\n  weiter\r\n[sub]\r\nx\\y=3\r\n[A%252FB%20%U65E5]\r\nk=@@x\\\n"]
write("SettingsIni", store_files + ini_files)

numbers = ["0", "12abc", "1 2 3", "- 5", "1E", "1E+", "1.2.3", "1,5", "&H7FFF", "&H8000",
           "&hffff", "&H10000", "&HFFFFFFFF", "&H123456789", "&O777", "-&H10", "1D308",
           "1e309", "1e-400", "2.5", "3.5", "-2147483648.5", "2147483647.5", "7743.2", "\t+.5e-3"]
for content in examples + ini_files:
    numbers += re.findall(r"=\s*([^\r\n]{0,40})", content.decode("latin-1"))
write("ReadNumber", [n.encode("utf-16-le") for n in numbers])

dates = [unescape(row[0]) for name in ("date_de.tsv", "date_en.tsv") for row in vectors(name)]
write("RecognizeDate", dates + [b"12.12.2019 13:45:10", b"Dec 12, 2019 1 PM", b"31.12.9999"])

lines = [["/opt/trx/entry.cpx", "/u", "/q"], ["/home/a b/entry.cpx", "/qe"],
         ["entry.cpx/u/q"], ["/u"], ["/q", "entry.cpx"], ["a", "b", "/U/Q", "c"],
         ["  spaced  ", "/HELP"], ["/etc/entry"], ["-Embedding"], [""]]
write("SplitCommandLine", [b"\0".join(a.encode() for a in line) for line in lines])

# Record sets: a field count, per field a type pick and a name, a row count,
# per row a shape byte and its cells (see RecordSetWire.cpp).
def field(pick, name):
    data = name.encode("utf-16-le")
    return bytes([pick, len(data)]) + data


def text_cell(text, wrapped=True):
    data = text.encode("utf-16-le")
    return bytes([0x80 if wrapped else 0, len(data)]) + data


def integer_cell(n):
    return bytes([0x81]) + n.to_bytes(8, "little", signed=True)


lists = bytes([2]) + field(0, "Name") + field(1, "Nr") + bytes([3])
for i, name in enumerate(["Meier", "Müller", ""]):
    lists += bytes([0]) + text_cell(name) + integer_cell(i)
every_type = bytes([7]) + b"".join(field(p, "F%d" % p) for p in range(7)) + bytes([1, 0]) + \
    text_cell("t") + integer_cell(5) + bytes([0x82]) + (45000.5).hex().encode()[:8] + \
    text_cell("1.50") + bytes([0x83, 1, 0x82]) + b"\0" * 8 + bytes([0x84, 2, 1, 2])
write("RecordSetWire", [lists, every_type, bytes([0]), bytes([1, 5, 0, 1, 0, 5])])
