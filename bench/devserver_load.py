#!/usr/bin/env python3
"""Load and attack figures for quillora-devserver, in one command:

    python3 bench/devserver_load.py build/bin/quillora-devserver

1. Attack: 24 slow clients (one header byte per second over TLS) and 24 clients
   posting parse-bomb bodies without pause; meanwhile the latency of the all-font
   catalogue request on a new connection, and the service's peak memory. Run once
   with 16 KB "a=&a=&..." bodies and once with bodies of empty pairs at the body limit.
2. Load: 200 clients on their own kept-alive connections sending a mix of signed
   requests (catalogue page, tags, favourites, preview list, version check).
3. Slow bodies: 200 clients declare a 100,000-byte body and send it at 1 byte/s;
   meanwhile the latency of the tag request on a new connection.
Each part runs on a fresh service in a temporary folder. A part's name after the
program runs that part alone: attack, load or slow-bodies.
"""
import hashlib
import http.client
import os
import re
import ssl
import statistics
import subprocess
import sys
import tempfile
import threading
import time

KEY = "Rq4!zW#8p&"
CLIENTS = 200
LOAD_SECONDS = 10
SLOW = 24
BOMBS = 24
MAX_BODY = 4 * 1024 * 1024


def md5(text):
    return hashlib.md5(text.encode()).hexdigest()


def signed(params):
    secret = md5(md5("&".join(sorted(params))) + KEY)
    return "&".join([params[0], "secret=" + secret] + params[1:]).encode()


A = ["mac=00-11-22-33-44-55", "app_version=0.9.5_beta", "app_platform=pc"]


class Service:
    def __init__(self, program):
        self.dir = tempfile.TemporaryDirectory()
        env = dict(os.environ, QT_QPA_PLATFORM="offscreen", HOME=self.dir.name,
                   XDG_RUNTIME_DIR=self.dir.name)
        self.proc = subprocess.Popen([program, "--data", self.dir.name + "/state", "--port", "0"],
                                     stdout=subprocess.PIPE, stderr=subprocess.DEVNULL, env=env,
                                     text=True)
        line = self.proc.stdout.readline()
        m = re.match(r"ready https://127\.0\.0\.1:(\d+)/ ca=(\S+)", line)
        if not m:
            raise SystemExit("service did not start: " + line)
        self.port = int(m.group(1))
        self.tls = ssl.create_default_context(cafile=m.group(2))
        self.lines = []
        threading.Thread(target=self._read, daemon=True).start()

    def _read(self):
        for line in self.proc.stdout:
            self.lines.append(line.strip())

    def connection(self):
        return http.client.HTTPSConnection("127.0.0.1", self.port, context=self.tls, timeout=60)

    def memory_kb(self, field):
        with open("/proc/%d/status" % self.proc.pid) as f:
            for line in f:
                if line.startswith(field + ":"):
                    return int(line.split()[1])
        return 0

    def stop(self):
        self.proc.terminate()
        self.proc.wait(30)
        self.dir.cleanup()


def post(conn, body):
    conn.request("POST", "/", body, {"Content-Type": "application/x-www-form-urlencoded"})
    reply = conn.getresponse()
    return reply.status, reply.read()


def attack(program, bomb, label):
    service = Service(program)
    stop = threading.Event()
    sent = [0]

    def slow_client():
        try:
            raw = service.tls.wrap_socket(__import__("socket").create_connection(
                ("127.0.0.1", service.port)), server_hostname="127.0.0.1")
            header = b"POST / HTTP/1.1\r\nHost: 127.0.0.1\r\nX-Pad: " + b"a" * 1000
            for byte in header:
                if stop.is_set():
                    break
                raw.send(bytes([byte]))
                time.sleep(1)
        except OSError:
            pass

    def bomber():
        conn = service.connection()
        while not stop.is_set():
            try:
                post(conn, bomb)
                sent[0] += 1
            except (OSError, http.client.HTTPException):
                conn = service.connection()

    threads = [threading.Thread(target=slow_client, daemon=True) for _ in range(SLOW)]
    threads += [threading.Thread(target=bomber, daemon=True) for _ in range(BOMBS)]
    for t in threads:
        t.start()
    time.sleep(2)
    peak = [0]

    def sample():
        while not stop.is_set():
            peak[0] = max(peak[0], service.memory_kb("VmRSS"))
            time.sleep(0.05)

    threading.Thread(target=sample, daemon=True).start()
    catalogue = signed(["tag=100", "page=1", "number=8000", "version=0.9.5_beta",
                        "app_platform=pc", "token="])
    latencies = []
    for _ in range(10):
        start = time.monotonic()
        conn = service.connection()
        status, body = post(conn, catalogue)
        latencies.append(time.monotonic() - start)
        conn.close()
        if status != 200 or b'"errcode":0' not in body:
            raise SystemExit("catalogue request failed: %d" % status)
        time.sleep(0.3)
    stop.set()
    hwm = service.memory_kb("VmHWM")
    service.stop()
    print("%s: catalogue latency median %.3f s, max %.3f s (10 requests); bomb bodies answered "
          "%d; service memory peak sampled %.0f MB, VmHWM %.0f MB"
          % (label, statistics.median(latencies), max(latencies), sent[0], peak[0] / 1024,
             hwm / 1024))


def load(program):
    service = Service(program)
    conn = service.connection()
    phone = "13900000001"
    post(conn, signed(["tag=115", "phone=" + phone] + A))
    for _ in range(100):
        code = [l.split(": ")[1] for l in service.lines if phone in l]
        if code:
            break
        time.sleep(0.05)
    status, body = post(conn, signed(["tag=117", "phone=" + phone, "code=" + code[0],
                                      "password=benchmark1"] + A))
    token = re.search(rb'"token":"([0-9a-f]+)"', body).group(1).decode()
    mix = [
        signed(["tag=100", "page=1", "number=20", "version=0.9.5_beta", "app_platform=pc",
                "token=" + token]),
        signed(["tag=102"] + A),
        signed(["tag=105", "token=" + token, "font_ids=3"] + A),
        signed(["tag=107", "token=" + token] + A),
        signed(["tag=127", "str=字体", "fids=1,2,3,4,5"] + A),
        signed(["tag=121", "platform=pc", "version=0.9.5_beta"]),
    ]
    done = [0] * CLIENTS
    failed = [0]
    start_line = threading.Barrier(CLIENTS + 1)
    deadline = [0.0]

    def client(i):
        c = service.connection()
        post(c, mix[1])  # handshake before the clock starts
        start_line.wait()
        n = i
        while time.monotonic() < deadline[0]:
            status, body = post(c, mix[n % len(mix)])
            if status != 200 or b'"errcode":0' not in body:
                failed[0] += 1
            done[i] += 1
            n += 1

    threads = [threading.Thread(target=client, args=(i,), daemon=True) for i in range(CLIENTS)]
    for t in threads:
        t.start()
    deadline[0] = time.monotonic() + LOAD_SECONDS + 1000
    start_line.wait()
    begin = time.monotonic()
    deadline[0] = begin + LOAD_SECONDS
    for t in threads:
        t.join()
    elapsed = time.monotonic() - begin
    hwm = service.memory_kb("VmHWM")
    service.stop()
    print("load: %d clients, %d signed requests in %.1f s = %.0f requests/s, %d failed; "
          "VmHWM %.0f MB" % (CLIENTS, sum(done), elapsed, sum(done) / elapsed, failed[0],
                             hwm / 1024))


def slow_bodies(program):
    service = Service(program)
    stop = threading.Event()
    opened = [0]

    def slow_sender():
        try:
            raw = service.tls.wrap_socket(__import__("socket").create_connection(
                ("127.0.0.1", service.port)), server_hostname="127.0.0.1")
            raw.send(b"POST / HTTP/1.1\r\nHost: 127.0.0.1\r\nContent-Length: 100000\r\n\r\n")
            opened[0] += 1
            while not stop.is_set():
                raw.send(b"a")
                time.sleep(1)
        except OSError:
            pass

    threads = [threading.Thread(target=slow_sender, daemon=True) for _ in range(CLIENTS)]
    for t in threads:
        t.start()
    time.sleep(5)
    tags = signed(["tag=102"] + A)
    latencies = []
    for _ in range(10):
        start = time.monotonic()
        conn = service.connection()
        status, body = post(conn, tags)
        latencies.append(time.monotonic() - start)
        conn.close()
        if status != 200 or b'"errcode":0' not in body:
            raise SystemExit("tag request failed: %d" % status)
        time.sleep(0.3)
    stop.set()
    service.stop()
    print("slow bodies: %d senders; tag request latency median %.3f s, max %.3f s "
          "(10 requests, new connections)" % (opened[0], statistics.median(latencies),
                                              max(latencies)))


def main():
    program = sys.argv[1] if len(sys.argv) > 1 else "build/bin/quillora-devserver"
    part = sys.argv[2] if len(sys.argv) > 2 else ""
    if part == "slow-bodies":
        return slow_bodies(program)
    if part == "load":
        return load(program)
    small = ("tag=100&secret=" + "0" * 32 + "&tag_id=" + "a=&" * 5400).encode()[:16 * 1024]
    attack(program, small, "attack, 16 KB a=& bodies")
    large = ("tag=100&secret=" + "0" * 32 + "&").encode()
    large += b"&" * (MAX_BODY - len(large))
    attack(program, large, "attack, 4 MB & bodies")
    if part == "attack":
        return
    load(program)
    slow_bodies(program)


if __name__ == "__main__":
    main()
