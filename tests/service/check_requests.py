#!/usr/bin/env python3
"""Checks request bodies against the service's signature and parameter rules.

Written apart from the client, standard library only, so that the client's requests are
judged by a second reading of the rules rather than by its own code.

Usage: check_requests.py FILE
FILE holds a JSON array of bodies (strings). Prints "ok TAG" or "FAIL INDEX: reason" per
body and exits 0 only when every body passes.
"""

import base64
import binascii
import hashlib
import json
import re
import sys
from urllib.parse import unquote_to_bytes

SIGNING_KEY = b"Rq4!zW#8p&"
VERSION = "0.9.5_beta"
PLATFORM = "pc"
MAC_RE = re.compile(r"^[0-9A-Fa-f]{2}(-[0-9A-Fa-f]{2}){5}$")
INT_RE = re.compile(r"^-?[0-9]+$")
POSITIVE_RE = re.compile(r"^[1-9][0-9]*$")
ID_LIST_RE = re.compile(r"^[1-9][0-9]*(,[1-9][0-9]*)*$")
FULLY_ENCODED_RE = re.compile(r"^(?:[A-Za-z0-9._~-]|%[0-9A-F]{2})*$")


def any_value(_):
    return None


def const(expected):
    return lambda v: None if v == expected else "must be %r" % expected


def non_empty(v):
    return None if v else "must not be empty"


def integer(v):
    return None if INT_RE.match(v) else "must be an integer"


def positive(v):
    return None if POSITIVE_RE.match(v) else "must be a positive integer"


def id_list(v):
    return None if ID_LIST_RE.match(v) else "must be positive ids joined by ','"


def id_list_or_empty(v):
    return None if v == "" or ID_LIST_RE.match(v) else "must be ids joined by ','"


def mac(v):
    return None if MAC_RE.match(v) else "must be six hex pairs joined by '-'"


def activation(v):
    try:
        items = json.loads(v)
    except ValueError:
        return "must be a JSON array"
    if not isinstance(items, list):
        return "must be a JSON array"
    fids = []
    for item in items:
        if not isinstance(item, dict) or set(item) != {"fid", "num"}:
            return "entries must be {fid, num}"
        fid, num = item["fid"], item["num"]
        if type(fid) is not int or type(num) is not int or fid < 1 or num < 1:
            return "fid and num must be integers above 0"
        fids.append(fid)
    if fids != sorted(set(fids)):
        return "fids must ascend without repeats"
    if v != "[" + ",".join('{"fid":%d,"num":%d}' % (i["fid"], i["num"]) for i in items) + "]":
        return "must be written without spaces"
    return None


# Parameter rules: (key, presence, value check). Presence "req" = always present (may be
# empty unless the check says otherwise), "opt" = present only when non-empty, "mac" =
# present only when the machine's address is known.
MAC = ("mac", "mac", mac)
SET_A = [MAC, ("app_version", "req", const(VERSION)), ("app_platform", "req", const(PLATFORM))]
VERSION_PLATFORM = [("version", "req", const(VERSION)), ("platform", "req", const(PLATFORM))]

RULES = {
    100: [("content", "opt", any_value), ("sort", "opt", any_value),
          ("tag_id", "opt", any_value), ("page", "opt", positive),
          ("number", "opt", positive), ("name", "opt", any_value),
          ("version", "req", const(VERSION)), MAC,
          ("app_platform", "req", const(PLATFORM)), ("token", "req", any_value)],
    102: SET_A,
    103: [("token", "req", any_value), ("download_ids", "opt", id_list),
          ("activation", "opt", activation)] + SET_A,
    105: [("token", "req", any_value), ("font_ids", "req", integer)] + SET_A,
    106: [("token", "req", any_value), ("font_ids", "req", integer)] + SET_A,
    107: [("content", "opt", any_value), ("sort", "opt", any_value),
          ("token", "req", any_value)] + SET_A,
    114: [("name", "req", any_value), ("password", "req", any_value)]
    + VERSION_PLATFORM + [MAC],
    115: [("phone", "req", any_value)] + SET_A,
    117: [("phone", "req", any_value), ("code", "req", any_value),
          ("password", "req", any_value)] + SET_A,
    118: [("token", "req", any_value)] + SET_A,
    119: [("token", "req", any_value), ("nick_name", "req", any_value),
          ("sex", "req", integer), ("introduce", "req", any_value),
          ("birthday", "req", any_value), ("province", "req", any_value),
          ("city", "req", any_value)] + SET_A,
    120: [("token", "req", any_value), ("error_info", "req", any_value), MAC,
          ("system", "req", any_value), ("system_version", "req", any_value),
          ("app_version", "req", const(VERSION)), ("platform", "req", const(PLATFORM)),
          ("client_name", "opt", any_value), ("client_version", "opt", any_value)],
    121: [("platform", "req", const(PLATFORM)), ("version", "req", const(VERSION))],
    124: [MAC] + VERSION_PLATFORM,
    125: [("token", "opt", any_value), MAC] + VERSION_PLATFORM,
    126: [("token", "req", any_value), ("duration", "req", integer), MAC] + VERSION_PLATFORM,
    127: [("str", "req", any_value), ("fids", "req", id_list_or_empty)] + SET_A,
    128: [("version", "req", non_empty)] + SET_A,
}


class Rejected(Exception):
    pass


def utf16_key(text):
    # The signature sorts by UTF-16 code units; big-endian bytes compare the same way.
    return text.encode("utf-16-be")


def split_entry(raw):
    key, sep, value = raw.partition("=")
    if not sep or not key:
        raise Rejected("entry %r is not key=value" % raw)
    return key, value


def decode_value(key, raw):
    if "+" in raw:
        raise Rejected("%s: a raw '+' would reach the service as a space" % key)
    if re.search(r"%(?![0-9A-Fa-f]{2})", raw):
        raise Rejected("%s: stray '%%'" % key)
    try:
        return unquote_to_bytes(raw).decode("utf-8")
    except UnicodeDecodeError:
        raise Rejected("%s: not UTF-8" % key)


def check_values(tag, entries):
    rules = RULES.get(tag)
    if rules is None:
        raise Rejected("unknown tag %d" % tag)
    position = 0
    for key, presence, check in rules:
        here = entries[position][0] if position < len(entries) else None
        if here != key:
            if presence == "req":
                raise Rejected("tag %d: %s missing or out of order (found %s)" % (tag, key, here))
            continue
        value = entries[position][1]
        if presence == "opt" and value == "":
            raise Rejected("tag %d: optional %s sent empty" % (tag, key))
        problem = check(value)
        if problem:
            raise Rejected("tag %d: %s %s (got %r)" % (tag, key, problem, value))
        position += 1
    if position != len(entries):
        raise Rejected("tag %d: unexpected %s" % (tag, entries[position][0]))


def check_body(body):
    if not body:
        raise Rejected("empty body")
    raw_entries = [split_entry(part) for part in body.split("&")]

    head = None
    if raw_entries[0][0] == "head":
        head_raw = raw_entries.pop(0)[1]
        if not head_raw:
            raise Rejected("empty head sent")
        if not FULLY_ENCODED_RE.match(head_raw):
            raise Rejected("head is not fully percent-encoded")
        head = decode_value("head", head_raw)
        try:
            base64.b64decode(head, validate=True)
        except (binascii.Error, ValueError):
            raise Rejected("head is not standard Base64")

    if not raw_entries or raw_entries[0][0] != "tag":
        raise Rejected("body does not start with tag=")
    tag_text = raw_entries[0][1]
    if not POSITIVE_RE.match(tag_text):
        raise Rejected("tag %r is not a plain decimal number" % tag_text)
    tag = int(tag_text)

    if tag == 119:
        if raw_entries[-1][0] != "secret":
            raise Rejected("the profile upload must end with secret=")
        secret = raw_entries.pop()[1]
    else:
        if head is not None:
            raise Rejected("head= only belongs to the profile upload")
        if len(raw_entries) < 2 or raw_entries[1][0] != "secret":
            raise Rejected("secret= must follow tag=")
        secret = raw_entries.pop(1)[1]
    if any(key == "secret" for key, _ in raw_entries):
        raise Rejected("more than one secret=")
    if not re.match(r"^[0-9a-f]{32}$", secret):
        raise Rejected("secret is not 32 lowercase hex digits")

    entries = [(key, decode_value(key, raw)) for key, raw in raw_entries]
    check_values(tag, entries[1:])

    signed = ["%s=%s" % kv for kv in entries]
    if head is not None:
        signed.insert(0, "head=" + head)
    joined = "&".join(sorted(signed, key=utf16_key))
    first = hashlib.md5(joined.encode("utf-8")).hexdigest()
    expected = hashlib.md5(first.encode("ascii") + SIGNING_KEY).hexdigest()
    if secret != expected:
        raise Rejected("bad signature")
    return tag


def main():
    if len(sys.argv) != 2:
        print(__doc__.strip(), file=sys.stderr)
        return 2
    with open(sys.argv[1], encoding="utf-8") as f:
        bodies = json.load(f)
    failures = 0
    for index, body in enumerate(bodies):
        try:
            print("ok %d" % check_body(body))
        except Rejected as why:
            failures += 1
            print("FAIL %d: %s" % (index, why))
    return 1 if failures else 0


if __name__ == "__main__":
    sys.exit(main())
