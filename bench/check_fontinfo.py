#!/usr/bin/env python3
"""Cross-checks `quillora-cli fontinfo` against a second, separately written reader.

Walks every .ttf/.otf file (any case) below the given folders (default
/usr/share/fonts), reads each naming table here with the Python standard library,
applies the name selection rules, runs quillora-cli on the same files and
compares every field. Prints the counts and each disagreement; exits 1 on any.

    check_fontinfo.py --cli build/bin/quillora-cli [--any-suffix] [DIR...]
"""

import argparse
import json
import os
import struct
import subprocess
import sys

CANNOT_OPEN, NOT_SFNT, NO_NAME_TABLE = -1, -2, -3
CAPACITY = 100
MAX_USEFUL = 6 + 12 * 65535

EN, PRC, TW = 0x0409, 0x0804, 0x0404


def load_table(path):
    """(code, bytes of the naming table as far as the file holds them)."""
    if os.path.isdir(path):
        return CANNOT_OPEN, b""
    try:
        f = open(path, "rb")
    except OSError:
        return CANNOT_OPEN, b""
    with f:
        head = f.read(12)
        if len(head) < 4 or head[:4] not in (b"\x00\x01\x00\x00", b"OTTO"):
            return NOT_SFNT, b""
        head = head.ljust(12, b"\0")
        (num_tables,) = struct.unpack(">H", head[4:6])
        directory = f.read(16 * num_tables)
        for i in range(len(directory) // 16):
            tag, _checksum, offset, length = struct.unpack(">4sIII", directory[16 * i:16 * i + 16])
            if tag == b"name":
                code = min(length, 2**31 - 1)
                want = min(length, MAX_USEFUL)
                data = b""
                if want > 0:
                    f.seek(offset)
                    data = f.read(want)
                return code, data
        return NO_NAME_TABLE, b""


def name_records(data):
    """The records wholly inside data, in order, as (platform, encoding, language, nameID, bytes)."""
    if len(data) < 6:
        return 0, []
    _fmt, count, string_offset = struct.unpack(">HHH", data[:6])
    out = []
    for i in range(count):
        at = 6 + 12 * i
        if at + 12 > len(data):
            break
        pid, eid, lang, nid, length, offset = struct.unpack(">6H", data[at:at + 12])
        start = string_offset + offset
        if start + length > len(data):
            continue
        out.append((pid, eid, lang, nid, data[start:start + length]))
    return count, out


def utf16_text(raw):
    raw = raw[: len(raw) // 2 * 2]
    units = [raw[i:i + 2] for i in range(0, len(raw), 2) if raw[i:i + 2] != b"\0\0"]
    return b"".join(units).decode("utf-16-be", errors="replace")


def fit_text(text):
    """UTF-8 of text, whole characters only, at most CAPACITY - 1 bytes."""
    out = b""
    for ch in text:
        b = ch.encode("utf-8")
        if len(out) + len(b) > CAPACITY - 1:
            break
        out += b
    return out


def fit_raw(raw):
    return raw[: CAPACITY - 1]


def as_caller_reads(buf):
    return buf.split(b"\0", 1)[0].decode("utf-8", errors="replace")


class Gathered:
    """Windows UTF-16 names by key; repeated records append."""

    def __init__(self):
        self.text = {}

    def add(self, key, raw):
        self.text[key] = self.text.get(key, "") + utf16_text(raw)

    def has(self, key):
        return key in self.text

    def get(self, key):
        return fit_text(self.text.get(key, ""))


def en_family(records):
    win = Gathered()
    for pid, eid, lang, nid, raw in records:
        if pid == 3 and eid == 1 and lang == EN and nid in (1, 2, 16, 17):
            win.add(nid, raw)
    if win.has(17):
        return 0, win.get(16), win.get(17)

    mac = {}
    for pid, eid, lang, nid, raw in records:
        if pid == 1 and eid == 0 and lang == 0 and nid in (1, 2, 16, 17):
            mac[nid] = raw
        if 1 in mac and 2 in mac and win.has(1) and win.has(2):
            break
    if 16 in mac:
        return 1, fit_raw(mac[16]), fit_raw(mac.get(17, b""))
    if win.has(1):
        return 1, win.get(1), win.get(2)
    if 1 in mac:
        return 1, fit_raw(mac[1]), fit_raw(mac.get(2, b""))
    return 1, b"", b""


def cn_family(count, records):
    if count == 0:
        _r, fam, sty = en_family(records)
        return 3, fam, sty
    g = Gathered()
    for pid, eid, lang, nid, raw in records:
        if pid == 3 and eid == 1 and lang in (PRC, TW) and nid in (1, 2, 16, 17):
            g.add((lang, nid), raw)
    for lang, fam_id, sty_id in ((PRC, 16, 17), (TW, 16, 17), (PRC, 1, 2), (TW, 1, 2)):
        if g.has((lang, fam_id)):
            return 0, g.get((lang, fam_id)), g.get((lang, sty_id))
    return en_family(records)


def ps_name(records):
    mac = None
    for pid, eid, _lang, nid, raw in records:
        if pid == 1 and eid == 0 and nid == 6:
            mac = raw
    if mac is not None:
        return 0, fit_raw(mac)
    g = Gathered()
    for pid, eid, lang, nid, raw in records:
        if pid == 3 and eid == 1 and nid == 6 and lang in (EN, PRC, TW):
            g.add(lang, raw)
    for lang in (EN, PRC, TW):
        if g.has(lang):
            return 0, g.get(lang)
    return 0, b""


def display_name(family, style):
    if style in family:
        return family
    if "regular" in style.lower():
        return family
    return family + " " + style


def expected(path):
    code, data = load_table(path)
    e = {"path": path, "tableLength": code}
    if code < 1:
        e.update(cn=code, en=code, ps=code, familyName="", styleName="", enFamilyName="",
                 psName="")
    else:
        count, records = name_records(data)
        cn, fam, sty = cn_family(count, records)
        en, enfam, _ensty = en_family(records)
        ps, psn = ps_name(records)
        e.update(cn=cn, en=en, ps=ps, familyName=as_caller_reads(fam),
                 styleName=as_caller_reads(sty), enFamilyName=as_caller_reads(enfam),
                 psName=as_caller_reads(psn))
    e["local"] = (e["cn"] >= 0 and e["ps"] >= 0 and e["familyName"] != ""
                  and e["styleName"] != "" and e["psName"] != "")
    if e["local"]:
        e["showName"] = display_name(e["familyName"], e["styleName"])
    return e


def font_files(roots, any_suffix=False):
    for root in roots:
        for dirpath, dirnames, filenames in os.walk(root):
            dirnames.sort()
            for name in sorted(filenames):
                if any_suffix or name.lower().endswith((".ttf", ".otf")):
                    yield os.path.join(dirpath, name)


def run_cli(cli, files, batch=200):
    out = []
    for i in range(0, len(files), batch):
        proc = subprocess.run([cli, "fontinfo"] + files[i:i + batch], check=True,
                              stdout=subprocess.PIPE)
        out.extend(json.loads(line) for line in proc.stdout.decode("utf-8").splitlines())
    return out


def has_han(s):
    return any(0x4E00 <= ord(c) <= 0x9FFF for c in s)


def main():
    ap = argparse.ArgumentParser(description=__doc__.splitlines()[0])
    ap.add_argument("--cli", required=True, help="path of quillora-cli")
    ap.add_argument("--any-suffix", action="store_true",
                    help="take every file, not only .ttf/.otf (for a fuzz corpus)")
    ap.add_argument("dirs", nargs="*", default=["/usr/share/fonts"])
    args = ap.parse_args()

    files = list(font_files(args.dirs, args.any_suffix))
    got = run_cli(args.cli, files)
    if len(got) != len(files):
        print(f"quillora-cli printed {len(got)} lines for {len(files)} files")
        return 1

    keys = ["path", "tableLength", "cn", "en", "ps", "familyName", "styleName", "enFamilyName",
            "psName", "local", "showName"]
    mismatched_files = 0
    field_checks = 0
    per_field = {k: 0 for k in keys}
    for path, actual in zip(files, got):
        want = expected(path)
        bad = []
        for k in keys:
            if k == "showName" and not want["local"] and "showName" not in actual:
                continue
            field_checks += 1
            if actual.get(k) != want.get(k):
                per_field[k] += 1
                bad.append(f"{k}: cli={actual.get(k)!r} python={want.get(k)!r}")
        if bad:
            mismatched_files += 1
            print(f"DIFFERS {path}\n  " + "\n  ".join(bad))

    local = [e for e in got if e.get("local")]
    by_code = {}
    for e in got:
        by_code[e["tableLength"] if e["tableLength"] < 0 else "ok"] = (
            by_code.get(e["tableLength"] if e["tableLength"] < 0 else "ok", 0) + 1)
    print(f"files {len(files)}, fields compared {field_checks}, "
          f"files agreeing {len(files) - mismatched_files}, files differing {mismatched_files}")
    print(f"table results {by_code}; usable fonts {len(local)}; "
          f"Han family names {sum(has_han(e['familyName']) for e in local)}; "
          f"cn results {sorted({e['cn'] for e in got})}; en results {sorted({e['en'] for e in got})}")
    if mismatched_files:
        print("differences per field:", {k: v for k, v in per_field.items() if v})
    return 1 if mismatched_files else 0


if __name__ == "__main__":
    sys.exit(main())
