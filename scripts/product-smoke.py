#!/usr/bin/env python3
"""The smoke of the product: the 32-bit pellix.exe and pxQuillfeed.dll under Wine, inside the
emulated machine (scripts/emulated-machine.sh), where the kernel runs 32-bit code.

    python3 scripts/product-smoke.py BUILD

BUILD is the 32-bit build (build-win32). Runs, each a check: the host loads the plug-in and it
binds the host functions by name; the set-up dialog writes a folder's settings; an update over
http and one over https (through the TLS front, its CA trusted) fill folders with the right
messages (a title in Japanese with an emoji, an enclosure); a second update adds nothing; opening
a message shows the folder's style link; a minute pass refreshes several folders through the pool;
an answer cut short keeps its items and says so. The last line counts passed and failed checks;
the exit status is 1 when one failed.
"""

import os
import re
import shutil
import socket
import subprocess
import sys
import tempfile
import threading
import time

HERE = os.path.dirname(os.path.abspath(__file__))
CHECKOUT = os.path.dirname(HERE)
sys.path.insert(0, HERE)
import demo  # noqa: E402

WINE = "/usr/lib/wine/wine64"


def cut_feed_server():
    """A server whose answer promises more than it sends: a feed of two items, cut inside the
    second. Returns its port."""
    feed = ("<?xml version=\"1.0\"?><rss version=\"2.0\"><channel><title>Cut</title>"
            "<item><title>Before the cut</title><guid>c1</guid></item>"
            "<item><title>After the cut</title><guid>c2</guid><description>" + "x" * 4000 +
            "</description></item></channel></rss>").encode()
    sent = feed[:len(feed) // 2]
    listener = socket.socket()
    listener.bind(("127.0.0.1", 0))
    listener.listen(8)

    def serve():
        while True:
            connection, _ = listener.accept()
            connection.recv(65536)
            connection.sendall(b"HTTP/1.1 200 OK\r\nContent-Type: application/rss+xml\r\n"
                               b"Content-Length: %d\r\n\r\n" % len(feed) + sent)
            connection.close()

    threading.Thread(target=serve, daemon=True).start()
    return listener.getsockname()[1]


class Smoke:
    def __init__(self, build):
        self.passed = 0
        self.failed = 0
        self.build = os.path.abspath(build)
        self.out = os.path.join(CHECKOUT, "build-vm", "smoke")
        shutil.rmtree(self.out, ignore_errors=True)
        os.makedirs(self.out)
        self.host = demo.Host(os.path.join(self.out, "host"), self.build, "pxQuillfeed.dll",
                              os.path.join(self.build, "pellix.exe"), [WINE])

    def check(self, condition, what):
        if condition:
            self.passed += 1
            print("  ok    " + what, flush=True)
        else:
            self.failed += 1
            print("  FAIL  " + what, flush=True)

    def run(self, *words):
        """What pellix said, "" when it failed (the failure is a failed check)."""
        started = time.time()
        try:
            text = self.host.run(*words)
        except SystemExit as failure:
            self.check(False, "pellix %s ran (%s)" % (" ".join(words), failure))
            return ""
        print("        pellix %s: %.0f s" % (" ".join(words), time.time() - started), flush=True)
        return text

    def subjects(self, folder):
        return [subject for _, _, subject in self.host.messages(folder)]

    def message(self, folder, number):
        path = os.path.join(self.host.data, folder, "%s.msg" % number)
        with open(path, "rb") as message:
            return message.read().decode("utf-8", "replace")


def main():
    if len(sys.argv) != 2:
        sys.exit(__doc__)
    smoke = Smoke(sys.argv[1])
    started = time.time()
    # The TLS front and its CA, trusted for this run (Wine's crypt32 reads the system's store).
    shutil.copy(os.path.join(CHECKOUT, "build-tls", "ca.crt"),
                "/usr/local/share/ca-certificates/quillfeed-run-ca.crt")
    subprocess.run(["update-ca-certificates"], stdout=subprocess.DEVNULL,
                   stderr=subprocess.DEVNULL, check=False)
    ports_file = os.path.join(tempfile.mkdtemp(), "ports.txt")
    front = subprocess.Popen([sys.executable, os.path.join(HERE, "tls-front.py"),
                              os.path.join(CHECKOUT, "build-tls"), ports_file],
                             stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
    display = subprocess.Popen(["Xvfb", ":7", "-screen", "0", "1024x768x24", "-nolisten", "tcp"],
                               stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
    os.environ["DISPLAY"] = ":7"
    try:
        for _ in range(300):
            if os.path.exists(ports_file) and os.path.getsize(ports_file) > 0:
                break
            time.sleep(0.1)
        with open(ports_file) as ports:
            good = dict(line.split()[:2] for line in ports if line.strip())["good"]
        url, _ = demo.serve_site(smoke.out)
        plain_port = url.rstrip("/").rsplit(":", 1)[1]
        secure = "https://localhost:%s/@%s/" % (good, plain_port)
        cut = "http://127.0.0.1:%d/cut.xml" % cut_feed_server()
        subprocess.run(["/usr/lib/wine/wineserver", "-p"], check=False)

        print("the 32-bit product in the emulated machine:")
        said = smoke.run("load")
        smoke.check("loaded the plug-in; it bound the host API" in said,
                    "pellix.exe loads pxQuillfeed.dll, which binds the host functions by name")

        folders = [("World", url + "world-news.rss", "default.css", ["--click", "60"]),
                   ("Harbour", secure + "harbour-news.rss", "paper.css", ["--click", "60"]),
                   ("Garden", url + "garden-notes.atom", "night.css", ["--auto", "20"]),
                   ("Library", url + "library-rdf.rdf", "compact.css", ["--auto", "20"]),
                   ("Cut", cut, "default.css", ["--click", "60"])]
        for folder, address, style, options in folders:
            smoke.run("mkfolder", folder)
            smoke.run("setup", folder, "--url", address, "--style", style, *options)
        with open(os.path.join(smoke.host.plugin_dir, "pxQuillfeed.ini"), "rb") as ini:
            settings = ini.read().decode("cp1252", "replace")
        smoke.check("World=" + url + "world-news.rss" in settings and
                    "Harbour=paper.css" in settings,
                    "the set-up dialog writes the folders' settings")

        smoke.run("update", "World")
        world = smoke.subjects("World")
        smoke.check(len(world) == 4 and "今日は晴れ。港に新しい桟橋 ☀️" in world,
                    "an update over http fills the folder, Japanese and emoji whole (%d: %s)" %
                    (len(world), world[:1]))
        said = smoke.run("update", "Harbour")
        harbour = smoke.subjects("Harbour")
        enclosed = any("<div id=enclosure>" in smoke.message("Harbour", number)
                       for number, _, _ in smoke.host.messages("Harbour"))
        smoke.check(len(harbour) == 4 and enclosed,
                    "an update over https fills the folder, an episode's enclosure listed (%d)" %
                    len(harbour))
        said = smoke.run("update", "World")
        # The server answers 304 to the refresh's If-Modified-Since, or the feed again.
        smoke.check(len(smoke.subjects("World")) == 4 and
                    ("nothing new" in said or "no change" in said),
                    "a second update adds nothing")
        shown = smoke.run("show", "Harbour", "1")
        smoke.check(re.search(r'<LINK REL="stylesheet" TYPE="text/css" HREF="[^"]*paper\.css"',
                              shown) is not None,
                    "opening a message shows the folder's style link")
        said = smoke.run("tick")
        smoke.check(len(smoke.subjects("Garden")) == 2 and len(smoke.subjects("Library")) == 2,
                    "a minute pass refreshes several folders through the pool")
        said = smoke.run("update", "Cut")
        smoke.check(smoke.subjects("Cut") == ["Before the cut"] and "connection cut" in said,
                    "an answer cut short keeps its items and says so")
    finally:
        for process in (front, display):
            process.terminate()
        subprocess.run(["/usr/lib/wine/wineserver", "-k"], check=False)
        os.remove("/usr/local/share/ca-certificates/quillfeed-run-ca.crt")
        subprocess.run(["update-ca-certificates", "--fresh"], stdout=subprocess.DEVNULL,
                       stderr=subprocess.DEVNULL, check=False)
    print("product smoke: the 32-bit product in an emulated machine: %d passed, %d failed (%.0f s)"
          % (smoke.passed, smoke.failed, time.time() - started), flush=True)
    sys.exit(1 if smoke.failed else 0)


if __name__ == "__main__":
    main()
