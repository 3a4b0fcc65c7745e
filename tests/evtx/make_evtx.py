#!/usr/bin/python3
"""Writes .evtx files for tests, from the published description of the
Windows XML event log format: a 4096-byte file header, 64 KiB chunks with
their header and record checksums (CRC32), and event records whose binary
XML is a template instance: the template's definition (element and
attribute tokens, names, substitution tokens) is written in the chunk at its
first use and referred to by offset afterwards, and each record carries only
its substitution values.

    make_evtx.py OUT.evtx [--records N] [--damaged ID] [--first ID] [--chunk-records N]

The events cycle through several providers and levels; --damaged writes the
record with that identifier with a broken binary XML token, so readers must
skip it. Prints one line per record: identifier, provider, event ID, level,
computer, user SID, and the event data as Name=value pairs separated by |.
"""
import argparse
import struct
import zlib

CHUNK_SIZE = 65536
CHUNK_HEADER = 512
FILETIME_1970 = 116444736000000000

# Value types of substitutions.
T_NULL, T_STRING, T_UINT8, T_UINT16, T_UINT32, T_UINT64 = 0x00, 0x01, 0x04, 0x06, 0x08, 0x0A
T_FILETIME, T_SID, T_GUID = 0x11, 0x13, 0x0F

PROVIDERS = [
    # name, event IDs, data names, template number
    ("Service Control Manager", [7036, 7040], ["param1", "param2"], 0),
    ("Microsoft-Windows-Security-Auditing", [4624, 4625], ["TargetUserName", "IpAddress", "LogonType"], 1),
    ("Application Error", [1000], ["AppName", "ModuleName"], 0),
    ("disk", [7, 11], ["DeviceName", "Detail"], 0),
]
LEVELS = [4, 2, 3, 1, 4, 0]  # information, error, warning, critical, information, log always
SIDS = ["S-1-5-18", "S-1-5-21-3623811015-3361044348-30300820-1013", None]


def utf16(text):
    return text.encode("utf-16-le")


def name_hash(text):
    h = 0
    for c in text:
        h = (h * 65599 + ord(c)) & 0xFFFFFFFF
    return h & 0xFFFF


def sid_bytes(text):
    parts = text.split("-")
    revision, authority = int(parts[1]), int(parts[2])
    subs = [int(p) for p in parts[3:]]
    return (bytes([revision, len(subs)]) + authority.to_bytes(6, "big") +
            b"".join(struct.pack("<I", s) for s in subs))


class Chunk:
    """One chunk being filled: the bytes, the names and templates it holds."""

    def __init__(self):
        self.data = bytearray(CHUNK_SIZE)
        self.pos = CHUNK_HEADER
        self.names = {}      # name -> offset of its inline definition
        self.templates = {}  # template number -> offset of its definition
        self.records = []    # (identifier, offset)

    # Binary XML writers append to out, whose first byte will be at chunk
    # offset base.
    def name(self, out, base, text):
        off = self.names.get(text)
        here = base + len(out) + 4
        if off is not None:
            out += struct.pack("<I", off)
            return
        out += struct.pack("<I", here)
        self.names[text] = here
        out += struct.pack("<IHH", 0, name_hash(text), len(text)) + utf16(text) + b"\0\0"

    def element(self, out, base, tag, attrs, content):
        """attrs: [(name, writer)], content: [writer] or None (empty element).
        A writer is a function (out, base) appending a value or substitution."""
        start = len(out)
        out += bytes([0x41 if attrs else 0x01]) + struct.pack("<H", 0xFFFF)
        size_at = len(out)
        out += b"\0\0\0\0"
        self.name(out, base, tag)
        if attrs:
            list_at = len(out)
            out += b"\0\0\0\0"
            for i, (attr, writer) in enumerate(attrs):
                out += bytes([0x46 if i + 1 < len(attrs) else 0x06])
                self.name(out, base, attr)
                writer(out, base)
            struct.pack_into("<I", out, list_at, len(out) - list_at - 4)
        if content is None:
            out += b"\x03"
        else:
            out += b"\x02"
            for writer in content:
                writer(out, base)
            out += b"\x04"
        struct.pack_into("<I", out, size_at, len(out) - size_at - 4)
        return start


def text_value(text):
    def write(out, base):
        out += b"\x05\x01" + struct.pack("<H", len(text)) + utf16(text)
    return write


def sub(index, vtype, optional=True):
    def write(out, base):
        out += bytes([0x0E if optional else 0x0D]) + struct.pack("<HB", index, vtype)
    return write


# The substitution indexes of a template: the System part, then the data.
S_PROVIDER, S_EVENTID, S_QUALIFIERS, S_LEVEL, S_TASK, S_KEYWORDS, S_TIME, S_RECORD, \
    S_CHANNEL, S_COMPUTER, S_USER, S_PID = range(12)
S_DATA = 12


def template_body(chunk, base, data_names):
    """The template's fragment: <Event><System>...</System><EventData>...</EventData></Event>."""
    out = bytearray(b"\x0f\x01\x01\x00")

    def el(tag, attrs=(), content=None):
        return lambda o, b: chunk.element(o, b, tag, list(attrs), content)

    system = [
        el("Provider", [("Name", sub(S_PROVIDER, T_STRING))]),
        el("EventID", [("Qualifiers", sub(S_QUALIFIERS, T_UINT16))], [sub(S_EVENTID, T_UINT16)]),
        el("Version", content=[text_value("0")]),
        el("Level", content=[sub(S_LEVEL, T_UINT8)]),
        el("Task", content=[sub(S_TASK, T_UINT16)]),
        el("Opcode", content=[text_value("0")]),
        el("Keywords", content=[sub(S_KEYWORDS, T_STRING)]),
        el("TimeCreated", [("SystemTime", sub(S_TIME, T_FILETIME))]),
        el("EventRecordID", content=[sub(S_RECORD, T_UINT64)]),
        el("Correlation"),
        el("Execution", [("ProcessID", sub(S_PID, T_UINT32)), ("ThreadID", text_value("0"))]),
        el("Channel", content=[sub(S_CHANNEL, T_STRING)]),
        el("Computer", content=[sub(S_COMPUTER, T_STRING)]),
        el("Security", [("UserID", sub(S_USER, T_SID))]),
    ]
    data = [el("Data", [("Name", text_value(n))], [sub(S_DATA + i, T_STRING)])
            for i, n in enumerate(data_names)]
    event = el("Event", [("xmlns", text_value("http://schemas.microsoft.com/win/2004/08/events/event"))],
               [el("System", content=system), el("EventData", content=data)])
    event(out, base)
    out += b"\x00"
    return out


def record_bytes(chunk, offset, ident, written, values, template_no, data_names, damaged):
    """The record at chunk offset `offset`."""
    body = bytearray(b"\x0f\x01\x01\x00")
    header_len = 24
    base = offset + header_len
    guid = struct.pack("<I", 0x51E0A000 + template_no) + bytes(range(12))
    tpl_off = chunk.templates.get(template_no)
    body += b"\x0c\x01" + guid[:4]
    if tpl_off is None:
        tpl_off = base + len(body) + 4
        chunk.templates[template_no] = tpl_off
        body += struct.pack("<I", tpl_off)
        definition = bytearray()
        definition += struct.pack("<I", 0) + guid
        size_at = len(definition)
        definition += b"\0\0\0\0"
        fragment = template_body(chunk, base + len(body) + len(definition), data_names)
        definition += fragment
        struct.pack_into("<I", definition, size_at, len(fragment))
        body += definition
    else:
        body += struct.pack("<I", tpl_off)
    # The values.
    encoded = []
    for vtype, value in values:
        if value is None:
            encoded.append((T_NULL, b""))
        elif vtype == T_STRING:
            encoded.append((vtype, utf16(value)))
        elif vtype == T_UINT8:
            encoded.append((vtype, struct.pack("<B", value)))
        elif vtype == T_UINT16:
            encoded.append((vtype, struct.pack("<H", value)))
        elif vtype == T_UINT32:
            encoded.append((vtype, struct.pack("<I", value)))
        elif vtype == T_UINT64:
            encoded.append((vtype, struct.pack("<Q", value)))
        elif vtype == T_FILETIME:
            encoded.append((vtype, struct.pack("<Q", value)))
        elif vtype == T_SID:
            encoded.append((vtype, sid_bytes(value)))
    body += struct.pack("<I", len(encoded))
    for vtype, data in encoded:
        body += struct.pack("<HBB", len(data), vtype, 0)
    for vtype, data in encoded:
        body += data
    body += b"\x00"
    if damaged:
        # A token that binary XML does not have where the template instance
        # should start.
        body[4] = 0xFE
    size = header_len + len(body) + 4
    return (b"\x2a\x2a\x00\x00" + struct.pack("<IQQ", size, ident, written) + bytes(body) +
            struct.pack("<I", size))


def finish_chunk(chunk, first_number):
    d = chunk.data
    first_id = chunk.records[0][0]
    last_id = chunk.records[-1][0]
    d[0:8] = b"ElfChnk\x00"
    struct.pack_into("<QQQQIII", d, 8, first_number, first_number + len(chunk.records) - 1,
                     first_id, last_id, 128, chunk.records[-1][1], chunk.pos)
    struct.pack_into("<I", d, 52, zlib.crc32(bytes(d[CHUNK_HEADER:chunk.pos])))
    for text, off in chunk.names.items():
        slot = 128 + 4 * (name_hash(text) % 64)
        if struct.unpack_from("<I", d, slot)[0] == 0:
            struct.pack_into("<I", d, slot, off - 10 + 4 if False else off)
    for number, off in chunk.templates.items():
        slot = 384 + 4 * (number % 32)
        struct.pack_into("<I", d, slot, off)
    struct.pack_into("<I", d, 120, 0)
    struct.pack_into("<I", d, 124, zlib.crc32(bytes(d[0:120]) + bytes(d[128:512])))
    return bytes(d)


def event_values(ident):
    """The substitution values and the printed line of the record."""
    name, ids, data_names, template_no = PROVIDERS[ident % len(PROVIDERS)]
    event_id = ids[ident % len(ids)]
    level = LEVELS[ident % len(LEVELS)]
    sid = SIDS[ident % len(SIDS)]
    computer = "WS%02d.corp.example" % (ident % 3)
    written = FILETIME_1970 + (1700000000 + ident * 7) * 10000000
    data = ["%s value %d" % (n, ident) for n in data_names]
    if template_no == 1:
        data[2] = str(2 + ident % 9)
    values = [(T_STRING, name), (T_UINT16, event_id), (T_UINT16, 0), (T_UINT8, level),
              (T_UINT16, 0), (T_STRING, "0x8000000000000000"), (T_FILETIME, written),
              (T_UINT64, ident), (T_STRING, "System"), (T_STRING, computer),
              (T_SID, sid), (T_UINT32, 4 + ident)]
    values += [(T_STRING, v) for v in data]
    line = "%d\t%s\t%d\t%d\t%s\t%s\t%s" % (ident, name, event_id, level, computer, sid or "",
                                           "|".join("%s=%s" % p for p in zip(data_names, data)))
    return values, template_no, data_names, written, line


def main():
    parser = argparse.ArgumentParser()
    parser.add_argument("out")
    parser.add_argument("--records", type=int, default=40)
    parser.add_argument("--first", type=int, default=1)
    parser.add_argument("--damaged", type=int, action="append", default=[])
    parser.add_argument("--chunk-records", type=int, default=0,
                        help="at most this many records a chunk (0: as many as fit)")
    args = parser.parse_args()

    chunks = []
    chunk = Chunk()
    number = 1
    first_number = 1
    lines = []
    for ident in range(args.first, args.first + args.records):
        values, template_no, data_names, written, line = event_values(ident)
        full = args.chunk_records and len(chunk.records) >= args.chunk_records
        rec = None if full else record_bytes(chunk, chunk.pos, ident, written, values,
                                             template_no, data_names, ident in args.damaged)
        if rec is None or chunk.pos + len(rec) > CHUNK_SIZE:
            chunks.append(finish_chunk(chunk, first_number))
            first_number = number
            chunk = Chunk()
            rec = record_bytes(chunk, chunk.pos, ident, written, values, template_no, data_names,
                               ident in args.damaged)
        chunk.records.append((ident, chunk.pos))
        chunk.data[chunk.pos:chunk.pos + len(rec)] = rec
        chunk.pos += len(rec)
        number += 1
        if ident not in args.damaged:
            lines.append(line)
    if chunk.records:
        chunks.append(finish_chunk(chunk, first_number))

    header = bytearray(4096)
    header[0:8] = b"ElfFile\x00"
    struct.pack_into("<QQQIHHHH", header, 8, 0, len(chunks) - 1, args.first + args.records, 128,
                     1, 3, 4096, len(chunks))
    struct.pack_into("<I", header, 120, 0)
    struct.pack_into("<I", header, 124, zlib.crc32(bytes(header[0:120])))
    tmp = args.out + ".tmp"
    with open(tmp, "wb") as f:
        f.write(header)
        for c in chunks:
            f.write(c)
    import os
    os.replace(tmp, args.out)
    print("\n".join(lines))


if __name__ == "__main__":
    main()
