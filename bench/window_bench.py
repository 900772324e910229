#!/usr/bin/env python3
"""Start-up time and memory of the main window against the development service.

usage: python3 bench/window_bench.py [--warm-service] BUILD_DIR

BUILD_DIR must be configured with -DQUILLORA_BENCH_HOOKS=ON and a QUILLORA_SERVICE_URL of
https://127.0.0.1:PORT/ (the service is started on that port). Runs the program twice per
catalogue (a first run with no cached pictures, then a second one) under Xvfb, with HOME
and XDG_* in a temporary folder, and prints from its own log lines: process start to the
window shown, to the first card drawn with its picture, and private anonymous memory
(/proc/PID/smaps_rollup) after loading and after jumping to the end of the catalogue.
With --warm-service, one uncounted start in a home of its own comes first, so the figures
leave out the development service's own first replies after it started.
"""
import datetime, os, re, shutil, signal, subprocess, sys, tempfile, time


def cache_value(build, key):
    with open(os.path.join(build, "CMakeCache.txt")) as f:
        for line in f:
            if line.startswith(key + ":"):
                return line.split("=", 1)[1].strip()
    return ""


def memory(pid):
    fields = {}
    with open(f"/proc/{pid}/smaps_rollup") as f:
        for line in f:
            parts = line.split()
            if len(parts) >= 2 and parts[0].endswith(":"):
                fields[parts[0][:-1]] = int(parts[1])
    # Private memory that no file backs: the heap, pixmaps, model data.
    return fields.get("Anonymous", 0) / 1024.0, fields.get("Rss", 0) / 1024.0


def log_times(path, offset=0):
    times = {}
    if not path or not os.path.exists(path):
        return times
    with open(path, "rb") as f:
        f.seek(offset)
        for line in f.read().decode("utf-8", "replace").splitlines():
            m = re.match(r"(.*)  (\d{4}\.\d\d\.\d\d \d\d:\d\d:\d\d\.\d{3})\s*$", line)
            if m:
                stamp = datetime.datetime.strptime(m.group(2), "%Y.%m.%d %H:%M:%S.%f")
                times.setdefault(m.group(1).split(",")[0], stamp.timestamp())
    return times


def wait_for(pred, timeout):
    end = time.time() + timeout
    while time.time() < end:
        value = pred()
        if value:
            return value
        time.sleep(0.02)
    return None


def run_program(build, home, display):
    env = dict(os.environ, HOME=home, XDG_CONFIG_HOME=home + "/.config",
               XDG_DATA_HOME=home + "/.local/share", XDG_CACHE_HOME=home + "/.cache",
               XDG_RUNTIME_DIR=home + "/run", DISPLAY=display, QUILLORA_BENCH_SCROLL="1")
    os.makedirs(home + "/run", mode=0o700, exist_ok=True)
    def find_log():
        for root, _, files in os.walk(home):
            if "FontMsg.log" in files:
                return os.path.join(root, "FontMsg.log")
        return None

    # Only this run's lines count.
    previous = find_log()
    offset = os.path.getsize(previous) if previous else 0
    start = time.time()
    app = subprocess.Popen([os.path.join(build, "bin", "quillora")], env=env,
                           stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
    logpath = [None]

    def seen(key):
        logpath[0] = logpath[0] or find_log()
        return key in log_times(logpath[0], offset)

    result = {}
    if wait_for(lambda: seen("first cards drawn"), 60):
        time.sleep(0.5)
        result["mem_loaded"] = memory(app.pid)
    if wait_for(lambda: any(k.startswith("bench: scrolled to end") for k in log_times(logpath[0], offset)), 60):
        result["mem_end"] = memory(app.pid)
    times = log_times(logpath[0], offset)
    for key, name in (("window shown", "shown"), ("first cards drawn", "drawn")):
        if key in times:
            result[name] = times[key] - start
    app.send_signal(signal.SIGTERM)
    try:
        app.wait(20)
    except subprocess.TimeoutExpired:
        app.kill()
        app.wait()
    return result


def main():
    args = sys.argv[1:]
    warm = "--warm-service" in args
    args = [a for a in args if a != "--warm-service"]
    if len(args) != 1:
        sys.exit(__doc__)
    build = os.path.abspath(args[0])
    url = cache_value(build, "QUILLORA_SERVICE_URL")
    m = re.match(r"https://127\.0\.0\.1:(\d+)/$", url)
    if not m or cache_value(build, "QUILLORA_BENCH_HOOKS") not in ("ON", "TRUE", "1"):
        sys.exit("configure the build with -DQUILLORA_BENCH_HOOKS=ON "
                 "-DQUILLORA_SERVICE_URL=https://127.0.0.1:PORT/")
    port = m.group(1)
    # Xvfb picks a free display itself, so parallel runs do not collide.
    ready_r, ready_w = os.pipe()
    xvfb = subprocess.Popen(["Xvfb", "-displayfd", str(ready_w), "-screen", "0", "1920x1080x24"],
                            stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL,
                            pass_fds=(ready_w,))
    os.close(ready_w)
    with os.fdopen(ready_r) as ready:
        display = ":" + ready.readline().strip()
    if display == ":":
        sys.exit("Xvfb did not start")
    try:
        for label, extra in (("synthetic 8000", ["--synthetic", "8000"]), ("44-font catalogue", [])):
            tmp = tempfile.mkdtemp(prefix="quillora-bench-")
            out = open(os.path.join(tmp, "server.log"), "w+")
            server = subprocess.Popen([os.path.join(build, "bin", "quillora-devserver"), "--data",
                                       tmp + "/data", "--port", port] + extra,
                                      stdout=out, stderr=subprocess.STDOUT)
            ready = wait_for(lambda: re.search(r"^ready .* ca=(\S+)", open(out.name).read(), re.M), 120)
            if not ready:
                sys.exit("the development service did not start")
            shutil.copy(ready.group(1), os.path.join(build, "bin", "quillora-ca.pem"))
            if warm:
                run_program(build, tmp + "/warm-up", display)
            for run in ("first run", "second run"):
                r = run_program(build, tmp + "/home", display)
                fmt = lambda v: "%.3f s" % v if v is not None else "n/a"
                mem = lambda v: "%.1f MB private anon (RSS %.1f MB)" % v if v else "n/a"
                print(f"{label}, {run}: window shown {fmt(r.get('shown'))}, "
                      f"first cards with pictures {fmt(r.get('drawn'))}; "
                      f"loaded {mem(r.get('mem_loaded'))}; at the end {mem(r.get('mem_end'))}")
            server.terminate()
            server.wait()
            shutil.rmtree(tmp, ignore_errors=True)
    finally:
        xvfb.terminate()
        xvfb.wait()


if __name__ == "__main__":
    main()
