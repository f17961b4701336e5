#!/usr/bin/env python3
"""The demo's story, told through the stand-in host: scripts/demo.sh builds and calls this.

    python3 scripts/demo.py OUT LABEL BUILD PLUGIN PELLIX [RUNNER ...]

Serves the project's sample feeds on a free loopback port, sets up six feed folders in the set-up
dialog (one of them in four scripts with emoji, one of untitled microblog posts, one of videos),
refreshes them by the three triggers (the update command, opening a folder, the minute timer),
refreshes once more to find nothing new, and writes the preview pages into OUT, with one folder
shown again in the dark theme.
RUNNER, when given, is the command that runs PELLIX (Wine's, for the 32-bit product).
"""

import email.header
import os
import re
import shutil
import subprocess
import sys
import tempfile

HERE = os.path.dirname(os.path.abspath(__file__))
CHECKOUT = os.path.dirname(HERE)
sys.path.insert(0, HERE)
import loopback  # noqa: E402
import preview  # noqa: E402

# (folder, feed file, kind, style, set-up options beyond url and style)
FOLDERS = [
    ("Harbour", "harbour-news.rss", "RSS 2.0", "paper.css", ["--click", "60"]),
    ("Garden", "garden-notes.atom", "Atom", "night.css", ["--click", "1"]),
    ("Library", "library-rdf.rdf", "RSS 1.0", "compact.css", ["--auto", "30"]),
    ("World", "world-news.rss", "RSS 2.0", "default.css", ["--auto", "20"]),
    ("Social", "harbour-social.atom", "Atom", "default.css", ["--auto", "20"]),
    ("Videos", "harbour-videos.atom", "Atom", "paper.css", ["--auto", "20"]),
]
STYLES = ["default.css", "paper.css", "night.css", "compact.css"]


def serve_site(out, extra=(), base_placeholder="http://127.0.0.1/"):
    """Copies samples/ and the `extra` files into OUT/site with the feeds' links pointing at a
    free loopback port, and serves it; returns (url, folder)."""

    site = os.path.join(out, "site")
    shutil.rmtree(site, ignore_errors=True)
    shutil.copytree(os.path.join(CHECKOUT, "samples"), site)
    for path in extra:
        shutil.copy(path, site)
    url = "http://127.0.0.1:%d/" % loopback.serve_folder(site)
    for name in os.listdir(site):
        if name.endswith((".rss", ".atom", ".rdf")):
            path = os.path.join(site, name)
            with open(path, encoding="utf-8") as feed:
                text = feed.read().replace(base_placeholder, url)
            with open(path, "w", encoding="utf-8") as feed:
                feed.write(text)
    return url, site


class Host:
    """One mail store and one copy of the plug-in with an empty settings file."""

    def __init__(self, root, build, plugin, pellix, runner):
        shutil.rmtree(root, ignore_errors=True)
        os.makedirs(os.path.join(root, "plugin"))
        self.plugin_dir = os.path.join(root, "plugin")
        self.plugin = os.path.join(self.plugin_dir, plugin)
        shutil.copy(os.path.join(build, plugin), self.plugin)
        shutil.copytree(os.path.join(CHECKOUT, "RssStyles"), os.path.join(self.plugin_dir,
                                                                          "RssStyles"))
        self.data = os.path.join(root, "store")
        self.command = list(runner) + [pellix, "--data", self.data, "--plugin", self.plugin]

    def run(self, *words):
        # Into a file, not a pipe: a Wine process the command starts may outlive it and hold a
        # pipe open.
        # A UTF-8 locale: messages are UTF-8, and the host prints them as they are.
        environment = dict(os.environ, LC_ALL="C.UTF-8")
        with tempfile.TemporaryFile() as said:
            done = subprocess.run(self.command + list(words), stdout=said, stderr=subprocess.STDOUT,
                                  env=environment)
            said.seek(0)
            text = said.read().decode("utf-8", errors="replace").replace("\r\n", "\n")
        if done.returncode != 0:
            sys.exit("pellix %s failed (%d):\n%s" % (" ".join(words), done.returncode, text))
        return text

    def messages(self, folder):
        """(number, sender, subject) of every message the folder lists. The index holds what the
        host makes of each header in its code page; the sender and subject told here are read
        from the message's own header, decoded, with every character."""
        rows = []
        for line in self.run("list", folder).splitlines()[1:]:
            parts = line.split(" | ")
            if len(parts) >= 4:
                header = self.header(folder, parts[0])
                rows.append((parts[0], header.get("From", parts[2]),
                             header.get("Subject", " | ".join(parts[3:]))))
        return rows

    def header(self, folder, number):
        """The decoded header fields of message `number` of `folder`, from the store."""
        path = os.path.join(self.data, folder, number + ".msg")
        if not os.path.isfile(path):
            return {}
        with open(path, "rb") as message:
            head = message.read().split(b"\r\n\r\n", 1)[0].decode("ascii", "replace")
        fields = {}
        for name, value in re.findall(r"^([A-Za-z-]+):([^\r\n]*(?:\r\n[ \t][^\r\n]*)*)", head,
                                     re.M):
            fields[name] = str(email.header.make_header(email.header.decode_header(
                value.replace("\r\n", ""))))
        return fields


def say(text=""):
    print(text, flush=True)


def refreshed(host, trigger, words, folders):
    """Runs one trigger and tells what it fetched and what landed in each folder it refreshed."""
    before = {folder: host.messages(folder) for folder, *_ in folders}
    output = host.run(*words)
    say(trigger)
    fetched = re.findall(r"^status: RSS:(.*)$", output, re.M)
    if not fetched:
        say("    nothing was due")
    for folder, feed, *_ in folders:
        if not any(url.endswith("/" + feed) for url in fetched):
            continue
        after = host.messages(folder)
        landed = after[len(before[folder]):]
        say("    %s: fetched %s" % (folder, feed))
        if landed:
            say("      %d new message%s:" % (len(landed), "" if len(landed) == 1 else "s"))
            for number, sender, subject in landed:
                say("        %s. %s  (%s)" % (number, subject, sender))
        else:
            say("      nothing new: the folder's %d messages already hold every item" % len(after))


def story(out, label, build, plugin, pellix, runner, folders=FOLDERS, extra=()):
    """Tells the whole story; returns the preview's index page."""
    os.makedirs(out, exist_ok=True)
    url, site = serve_site(out, extra)
    host = Host(os.path.join(out, "host"), build, plugin, pellix, runner)
    say("Quillfeed in the stand-in host: %s" % label)
    say("  the sample feeds are served at %s" % url)
    for line in host.run("info").splitlines()[:2]:
        say("  " + line)

    say("\n1. %d feed folders, each set up in the set-up dialog" % len(folders))
    for folder, feed, kind, style, options in folders:
        host.run("mkfolder", folder)
        host.run("setup", folder, "--url", url + feed, "--style", style, *options)
        say("    %-8s %-8s %-18s style %-12s %s" % (folder, kind, feed, style,
                                                     " ".join(options).replace("--", "")))

    say()
    refreshed(host, "2. \"Update RSS\" with Harbour on screen", ["update", "Harbour"], folders)
    refreshed(host, "3. Opening Garden (its click interval of 1 minute has run out)",
              ["open", "Garden"], folders)
    refreshed(host, "4. The minute timer: every folder whose auto interval has run out (the "
              "update\n   command leaves that schedule alone, so Harbour is due too)",
              ["tick"], folders)
    refreshed(host, "5. \"Update RSS\" on Harbour once more", ["update", "Harbour"], folders)

    pages = preview.Preview(os.path.join(out, "preview"), os.path.join(host.plugin_dir,
                                                                       "RssStyles"), url, site)
    for folder, feed, kind, style, _ in folders:
        shown = [(number, host.run("show", folder, number)) for number, _, _ in
                 host.messages(folder)]
        pages.folder(folder, "%s feed %s, style %s" % (kind, feed, style), shown)
        if folder == "Harbour":
            pages.every_style(shown[0][0], shown[0][1], STYLES)
    # The same folder with the system's apps in the dark theme: each message in its style's dark
    # sibling.
    dark = [(number, host.run("--dark", "show", "Harbour", number)) for number, _, _ in
            host.messages("Harbour")]
    pages.dark("Harbour", "the Harbour folder while the apps use the dark theme", dark)
    index = pages.index("Quillfeed preview: %s" % label)
    say("\n6. The preview: every message as the mail client shows it, in its folder's style,")
    say("   one message in each of the %d styles, and a folder in the dark theme:" % len(STYLES))
    say("   " + os.path.abspath(index))
    return index


if __name__ == "__main__":
    if len(sys.argv) < 6:
        sys.exit(__doc__)
    story(*sys.argv[1:6], sys.argv[6:])
