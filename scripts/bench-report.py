#!/usr/bin/env python3
"""Runs every benchmark of a refresh side by side and prints the figures against their targets.

    python3 scripts/bench-report.py BUILD [--win32 WIN32_BUILD] [--repetitions N]

BUILD is a native Release build with -DQF_BENCH=ON. In one run: bench_refresh (the bare expat
parse, the reader, the reader with the composer beside indexes of several sizes); the whole
refresh through pellix over loopback into its on-disk store, and the same store on tmpfs; the
resident memory one refresh and twenty at once add to pellix; Debian's feedparser parsing the same
bytes; with --win32, the 32-bit product's whole refresh under Wine (informational). Every figure is
the best of its repetitions: this kind of machine is shared, and its noise only ever adds time.
"""

import argparse
import json
import os
import platform
import shutil
import subprocess
import sys
import tempfile
import time

HERE = os.path.dirname(os.path.abspath(__file__))
CHECKOUT = os.path.dirname(HERE)
sys.path.insert(0, HERE)
import loopback  # noqa: E402

CORPUS_BIG = os.path.join(os.path.dirname(CHECKOUT), "shared", "corpus", "big")
FEED = "rss2_500k.xml"
FOLDERS_AT_ONCE = 20
# The big feed of the memory figure: this many items of 20 KB, about 20 MB.
BIG_FEED_ITEMS = 1000
MIB = 1024 * 1024


def run_measured(command, cwd=None):
    """Runs `command`; returns (wall seconds, peak resident bytes, output), failing loudly.

    GNU time, a small process, starts the command and reports its peak: a process forked from
    this one would count this interpreter's pages as its own. The output goes to a file, not a
    pipe: a Wine server the command starts outlives it and would hold a pipe open."""
    with tempfile.TemporaryFile() as log, tempfile.NamedTemporaryFile("r") as peak:
        started = time.perf_counter()
        status = subprocess.run(["/usr/bin/time", "-f", "%M", "-o", peak.name] + command, cwd=cwd,
                                stdout=log, stderr=subprocess.STDOUT).returncode
        wall = time.perf_counter() - started
        log.seek(0)
        output = log.read().decode(errors="replace")
        kib = peak.read().split()
    if status != 0:
        sys.exit("failed (%d): %s\n%s" % (status, " ".join(command), output))
    return wall, int(kib[-1]) * 1024, output


class Scratch:
    """A plug-in copy with its settings file and a data folder, made anew for every run."""

    def __init__(self, where, plugin, pellix, prefix=None):
        self.root = tempfile.mkdtemp(prefix="quillfeed-bench-", dir=where)
        self.plugin = os.path.join(self.root, os.path.basename(plugin))
        shutil.copy(plugin, self.plugin)
        self.settings = os.path.splitext(self.plugin)[0] + ".ini"
        self.data = os.path.join(self.root, "data")
        self.pellix = pellix
        self.prefix = prefix or []

    def command(self, *arguments):
        return self.prefix + [self.pellix, "--data", self.data, "--plugin", self.plugin] + list(
            arguments)

    def reset(self, folders, url, auto_minutes=0):
        shutil.rmtree(self.data, ignore_errors=True)
        # The folders' records of seen items go too: every run refreshes new folders.
        shutil.rmtree(os.path.splitext(self.plugin)[0] + ".seen", ignore_errors=True)
        os.makedirs(self.data)
        lines = ["[Feeds]"] + ["%s=%s" % (folder, url) for folder in folders]
        if auto_minutes:
            lines += ["[AutoRefresh]"] + ["%s=%d" % (f, auto_minutes) for f in folders]
        with open(self.settings, "w", newline="") as out:
            out.write("\r\n".join(lines) + "\r\n")
        for folder in folders:
            run_measured(self.command("mkfolder", folder))

    def messages(self, folder):
        return sum(1 for name in os.listdir(os.path.join(self.data, folder))
                   if name.endswith(".msg"))

    def remove(self):
        shutil.rmtree(self.root, ignore_errors=True)


def whole_refresh(scratch, url, repetitions, expect):
    """Best wall time and peak resident bytes of `pellix update` on a fresh folder."""
    best, peak = float("inf"), 0
    for _ in range(repetitions):
        scratch.reset(["Bench"], url)
        wall, rss, output = run_measured(scratch.command("update", "Bench"))
        stored = scratch.messages("Bench")
        if stored != expect or " new" not in output:
            sys.exit("the refresh stored %d messages, not %d:\n%s" % (stored, expect, output))
        best, peak = min(best, wall), max(peak, rss)
    return best, peak


def write_feed(path, items, item_bytes):
    """A feed of `items` items of about `item_bytes` each, every one with its own guid."""
    text = ("Harbour talk, the long notes of an episode. " * (item_bytes // 45 + 1))[:item_bytes]
    with open(path, "w") as out:
        out.write('<?xml version="1.0"?><rss version="2.0"><channel><title>Big</title>')
        for n in range(items):
            out.write("<item><title>Item %d</title><guid>big-%d</guid><description>%s"
                      "</description></item>" % (n, n, text))
        out.write("</channel></rss>")


def big_feed_memory(scratch, repetitions):
    """Peak resident bytes of a refresh of a 20 KB feed and of a 20 MB one of the same items."""
    folder = tempfile.mkdtemp(prefix="quillfeed-big-")
    try:
        write_feed(os.path.join(folder, "small.xml"), 1, 20 * 1024)
        write_feed(os.path.join(folder, "large.xml"), BIG_FEED_ITEMS, 20 * 1024)
        port = loopback.serve_folder(folder)
        small = whole_refresh(scratch, "http://127.0.0.1:%d/small.xml" % port, repetitions, 1)[1]
        large = whole_refresh(scratch, "http://127.0.0.1:%d/large.xml" % port,
                              max(1, repetitions // 3), BIG_FEED_ITEMS)[1]
        return small, large, os.path.getsize(os.path.join(folder, "large.xml"))
    finally:
        shutil.rmtree(folder, ignore_errors=True)


def baseline(scratch, repetitions):
    best, peak = float("inf"), 0
    for _ in range(repetitions):
        wall, rss, _ = run_measured(scratch.command("info"))
        best, peak = min(best, wall), max(peak, rss)
    return best, peak


def folders_at_once(scratch, url, expect):
    folders = ["Bench%02d" % n for n in range(1, FOLDERS_AT_ONCE + 1)]
    scratch.reset(folders, url, auto_minutes=1)
    wall, rss, output = run_measured(scratch.command("tick"))
    for folder in folders:
        if scratch.messages(folder) != expect:
            sys.exit("folder %s stored %d messages, not %d:\n%s" %
                     (folder, scratch.messages(folder), expect, output))
    return wall, rss


# Profiles of many feed folders all due at once: how many, and how many behind a server that
# takes PROFILE_DELAY seconds to answer (with 8 workers, each such folder costs a quarter of it).
PROFILE_SIZES = (1000, 5000)
PROFILE_SLOW = 200
PROFILE_DELAY = 2.0
PROFILE_FEED = (b'<?xml version="1.0"?><rss version="2.0"><channel><title>Profile</title>'
                b'<item><title>One</title><guid>p1</guid></item>'
                b'<item><title>Two</title><guid>p2</guid></item>'
                b'<item><title>Three</title><guid>p3</guid></item></channel></rss>')


class CountingServer(loopback.FixedAnswer):
    """PROFILE_FEED on a loopback port, each answer after `delay` seconds."""

    def __init__(self, delay):
        super().__init__(PROFILE_FEED, delay)
        self.url = "http://127.0.0.1:%d/feed.xml" % self.port


def profile_pass(scratch, server, count):
    """One minute pass over `count` folders of 40-character ids, all due: (wall seconds of the
    pass until the queue is empty, peak resident bytes, most connections at once, wall seconds of
    a second pass with nothing due)."""
    folders = ["Feeds-%034d" % n for n in range(count)]
    shutil.rmtree(scratch.data, ignore_errors=True)
    shutil.rmtree(os.path.splitext(scratch.plugin)[0] + ".seen", ignore_errors=True)
    for folder in folders:
        os.makedirs(os.path.join(scratch.data, folder))
        with open(os.path.join(scratch.data, folder, "Folder.idx"), "wb") as index:
            index.write(b"Pellix folder index 1\r\n")
    lines = ["[Feeds]"] + ["%s=%s" % (folder, server.url) for folder in folders]
    with open(scratch.settings, "w", newline="") as out:
        out.write("\r\n".join(lines) + "\r\n")
    server.reset()
    wall, rss, output = run_measured(scratch.command("--worker-wait", "3600", "tick"))
    missing = [f for f in folders if scratch.messages(f) != 3]
    if missing or server.served != count:
        sys.exit("%d of %d folders were not refreshed whole (%d answers):\n%s" %
                 (len(missing), count, server.served, output[-2000:]))
    idle, _, _ = run_measured(scratch.command("tick"))
    return wall, rss, server.most, idle


def feedparser_parse(path, repetitions):
    """Best time of Debian's feedparser parsing the same bytes in-process, in seconds."""
    code = ("import feedparser, sys, time\n"
            "data = open(sys.argv[1], 'rb').read()\n"
            "best = min((lambda s: (feedparser.parse(data), time.perf_counter() - s)[1])"
            "(time.perf_counter()) for _ in range(int(sys.argv[2])))\n"
            "print(feedparser.__version__, best)\n")
    _, _, output = run_measured(["/usr/bin/python3", "-c", code, path, str(repetitions)])
    version, seconds = output.split()
    return version, float(seconds)


def run_benchmarks(build, repetitions):
    out = os.path.join(build, "bench_refresh.json")
    subprocess.run([os.path.join(build, "bench_refresh"),
                    "--benchmark_repetitions=%d" % repetitions,
                    "--benchmark_enable_random_interleaving=true",
                    "--benchmark_out_format=json", "--benchmark_out=" + out,
                    "--benchmark_format=console"],
                   check=True, stdout=subprocess.DEVNULL)
    with open(out) as data:
        results = json.load(data)
    best = {}
    for run in results["benchmarks"]:
        if run.get("error_occurred"):
            sys.exit("%s: %s" % (run["name"], run.get("error_message", "failed")))
        if run.get("run_type") != "iteration":
            continue
        seconds = run["real_time"] / {"ns": 1e9, "us": 1e6, "ms": 1e3, "s": 1}[run["time_unit"]]
        best[run["run_name"]] = min(best.get(run["run_name"], float("inf")), seconds)
    return best


def file_creation_cost(where, count=500):
    """Seconds to create, write and close one small file in `where`: the store's cost a message."""
    folder = tempfile.mkdtemp(prefix="quillfeed-files-", dir=where)
    started = time.perf_counter()
    for n in range(count):
        with open(os.path.join(folder, "%d.msg" % n), "wb") as out:
            out.write(b"x" * 2048)
    seconds = (time.perf_counter() - started) / count
    shutil.rmtree(folder)
    return seconds


def machine():
    model = "unknown processor"
    with open("/proc/cpuinfo") as info:
        for line in info:
            if line.startswith("model name"):
                model = line.split(":", 1)[1].strip()
                break
    return "%s, %d cores, Linux %s, %s" % (model, os.cpu_count(), platform.release(),
                                           time.strftime("%Y-%m-%d"))


def wine_refresh(win32, url, repetitions, expect):
    """The 32-bit product's `pellix.exe update` and `pellix.exe info` under Wine, best of each,
    and the resident memory twenty refreshes at once add to the process (its largest, as GNU time
    sees the processes Wine starts)."""
    env = dict(os.environ, WINE_BUILD_DIR=os.path.abspath(win32))
    prefix = ["bash", "-c", 'source "$0"; wine_run "$@"', os.path.join(HERE, "wine-env.sh")]
    subprocess.run(["bash", "-c", 'source "$0"; wine_start', os.path.join(HERE, "wine-env.sh")],
                   env=env, check=True)
    os.environ["WINE_BUILD_DIR"] = env["WINE_BUILD_DIR"]
    scratch = Scratch(win32, os.path.join(win32, "pxQuillfeed.dll"),
                      os.path.join(win32, "pellix.exe"), prefix)
    try:
        update, _ = whole_refresh(scratch, url, repetitions, expect)
        info, info_peak = baseline(scratch, repetitions)
        many_peak = folders_at_once(scratch, url, expect)[1]
    finally:
        scratch.remove()
        subprocess.run(["bash", "-c", 'source "$0"; wine_stop', os.path.join(HERE, "wine-env.sh")],
                       env=env)
    return update, info, many_peak - info_peak


def main():
    parser = argparse.ArgumentParser()
    parser.add_argument("build")
    parser.add_argument("--win32")
    parser.add_argument("--repetitions", type=int, default=10)
    options = parser.parse_args()
    build = os.path.abspath(options.build)
    reps = options.repetitions

    feed_path = os.path.join(CORPUS_BIG, FEED)
    url = "http://127.0.0.1:%d/%s" % (loopback.serve_folder(CORPUS_BIG), FEED)
    # The folder holds an item once however often its identity (guid, else link) recurs in the
    # feed: 252 items, 250 identities (two guids come twice).
    expect = 250

    print("machine: " + machine())
    best = run_benchmarks(build, reps)
    plugin = os.path.join(build, "pxQuillfeed.so")
    pellix = os.path.join(build, "pellix")
    on_disk = Scratch(build, plugin, pellix)
    on_tmpfs = Scratch("/dev/shm", plugin, pellix) if os.path.isdir("/dev/shm") else None
    try:
        disk_update, disk_peak = whole_refresh(on_disk, url, reps, expect)
        info_time, info_peak = baseline(on_disk, reps)
        tmpfs_update = whole_refresh(on_tmpfs, url, reps, expect)[0] if on_tmpfs else None
        many_time, many_peak = folders_at_once(on_disk, url, expect)
        quick, slow = CountingServer(0), CountingServer(PROFILE_DELAY)
        profiles = [(count, "at once") + profile_pass(on_disk, quick, count)
                    for count in PROFILE_SIZES]
        profiles.append((PROFILE_SLOW, "after %g s" % PROFILE_DELAY) +
                        profile_pass(on_disk, slow, PROFILE_SLOW))
        disk_file = file_creation_cost(build)
        small_peak, large_peak, large_size = big_feed_memory(on_disk, reps)
    finally:
        on_disk.remove()
        if on_tmpfs:
            on_tmpfs.remove()
    version, peer = feedparser_parse(feed_path, reps)
    wine = wine_refresh(options.win32, url, max(3, reps // 3), expect) if options.win32 else None

    limit = best["BareExpat/rss2_500k"]
    rows = []

    def row(what, seconds, ratio=None, target=None, met=None):
        rows.append((what, "%.2f" % (seconds * 1000), "" if ratio is None else "%.2f" % ratio,
                     target or "", "" if met is None else ("met" if met else "MISSED")))

    for feed in ("rss2_100k", "atom_300k", "rss2_500k"):
        bare = best["BareExpat/" + feed]
        row("bare expat parse, %s (the limit)" % feed, bare, 1.0)
        row("XML reader, empty handler, %s" % feed, best["XmlReader/" + feed],
            best["XmlReader/" + feed] / bare)
        ratio = best["ParseFeed/" + feed] / bare
        row("ParseFeed, null callback, %s" % feed, best["ParseFeed/" + feed], ratio, "<= 1.2x",
            ratio <= 1.2 if feed == "rss2_500k" else None)
    for lines, target in ((0, 2.0), (1000, None), (10000, 4.0), (100000, 10.0)):
        seconds = best["ParseAndCompose/index_lines/%d" % lines]
        ratio = seconds / limit
        row("reader + composer, in-memory host, index of %d lines" % lines, seconds, ratio,
            "<= %gx" % target if target else None, ratio <= target if target else None)
    row("feedparser %s, the same bytes in-process" % version, peer)
    in_process = peer / best["ParseAndCompose/index_lines/0"]
    whole = peer / disk_update
    row("whole refresh: pellix update, loopback, on-disk store", disk_update, None,
        "feedparser / this >= 10", whole >= 10)
    if tmpfs_update:
        row("whole refresh: the same, store on tmpfs", tmpfs_update)
    row("pellix info (the process alone, the baseline)", info_time)
    if wine:
        row("Wine, 32-bit product: pellix.exe update (informational)", wine[0])
        row("Wine, 32-bit product: pellix.exe info (informational)", wine[1])

    width = max(len(r[0]) for r in rows)
    print("\n%-*s %9s %7s  %-24s %s" % (width, "what", "ms", "x expat", "target", ""))
    for r in rows:
        print("%-*s %9s %7s  %-24s %s" % ((width,) + r))
    one = (disk_peak - info_peak) / MIB
    many = (many_peak - info_peak) / MIB
    print()
    print("feedparser / whole refresh: %.1fx (target >= 10x: %s)" %
          (whole, "met" if whole >= 10 else "MISSED"))
    print("feedparser / in-process refresh (reader + composer, empty index): %.1fx "
          "(target >= 40x: %s)" % (in_process, "met" if in_process >= 40 else "MISSED"))
    print("resident memory one refresh adds: %.1f MiB (target <= 2 MiB: %s)" %
          (one, "met" if one <= 2 else "MISSED"))
    print("resident memory %d refreshes in one minute pass add: %.1f MiB in %.2f s "
          "(target <= 40 MiB: %s)" % (FOLDERS_AT_ONCE, many, many_time,
                                      "met" if many <= 40 else "MISSED"))
    big = (large_peak - small_peak) / MIB
    print("resident memory a refresh of a %.0f MB feed adds beyond one of 20 KB: %.2f MiB "
          "(target <= 1 MiB: %s)" % (large_size / 1e6, big, "met" if big <= 1 else "MISSED"))
    print("one small file created and written on this disk: %.0f us (%d messages: %.1f ms)" %
          (disk_file * 1e6, expect, disk_file * expect * 1000))
    if wine:
        print("Wine: the refresh itself (update minus info): %.0f ms" %
              ((wine[0] - wine[1]) * 1000))
        print("Wine: resident memory %d refreshes in one minute pass add: %.1f MiB "
              "(target < 64 MiB: %s)" % (FOLDERS_AT_ONCE, wine[2] / MIB,
                                         "met" if wine[2] < 64 * MIB else "MISSED"))
    print()
    print("profiles, every folder due in one minute pass (8 workers, ids of 40 characters):")
    for count, answer, wall, rss, most, idle in profiles:
        print("  %5d folders, server answering %-9s every folder refreshed in %6.1f s, "
              "%2d connections at most, %5.1f MiB resident at peak; a pass with nothing due: "
              "%.0f ms (pellix info: %.0f ms)" %
              (count, answer, wall, most, rss / MIB, idle * 1000, info_time * 1000))


if __name__ == "__main__":
    main()
