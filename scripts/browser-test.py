#!/usr/bin/env python3
"""The browser test: the preview pages of the demo's story, opened in headless Chromium.

    python3 scripts/browser-test.py BUILD

Runs the demo's story with the native build in BUILD, plus a folder of hostile items
(tests/fixtures/browser/hostile.rss), and loads the pages in Chromium at several widths with a
probe script added that reports, from inside each message's frame, the computed styles, where the
images lie and whether anything marked the page. Fails on the first style whose rules are not in
force, an image wider than its message, any sign that script from a feed ran, a subject that is an
address or cut inside a word, a web beacon or tracking parameter left, a video's post without a
link to its video, an Arabic message laid out left to right, or a dark-theme page that is light.
"""

import html
import json
import os
import re
import shutil
import subprocess
import sys
import tempfile

HERE = os.path.dirname(os.path.abspath(__file__))
CHECKOUT = os.path.dirname(HERE)
sys.path.insert(0, HERE)
import demo  # noqa: E402

HOSTILE = os.path.join(CHECKOUT, "tests", "fixtures", "browser", "hostile.rss")

# What each style must make of the banner title and the message: computed values as Chromium
# reports them, and the first family of the body's font list.
STYLES = [
    # style, h2 colour, h2 size, body family, body background
    ("default", "rgb(23, 54, 93)", "20px", "\"Segoe UI\"", "rgb(255, 255, 255)"),
    ("paper", "rgb(90, 61, 30)", "26.6667px", "Georgia", "rgb(251, 248, 241)"),
    ("night", "rgb(240, 243, 248)", "20px", "Verdana", "rgb(29, 32, 38)"),
    ("compact", "rgb(255, 255, 255)", "13.3333px", "Tahoma", "rgb(255, 255, 255)"),
]
WIDTHS = (480, 1000, 1600)

PROBE = """<pre id="qf-probe"></pre><script>
window.addEventListener("load", function () {
  var report = {title: document.title, frames: []};
  var frames = document.querySelectorAll("iframe");
  for (var i = 0; i < frames.length; i++) {
    var doc = frames[i].contentDocument, win = frames[i].contentWindow;
    var h2 = doc.querySelector("#banner h2"), desc = doc.getElementById("desc");
    var frame = {
      h2color: win.getComputedStyle(h2).color,
      h2size: win.getComputedStyle(h2).fontSize,
      family: win.getComputedStyle(doc.body).fontFamily,
      background: win.getComputedStyle(doc.body).backgroundColor,
      descLineHeight: win.getComputedStyle(desc).lineHeight,
      viewport: doc.documentElement.clientWidth,
      descWidth: desc.getBoundingClientRect().width,
      marked: doc.querySelectorAll("[data-ran]").length,
      scripts: doc.querySelectorAll("script, iframe, object, embed, form, meta, style").length,
      handlers: 0,
      victim: desc.textContent.indexOf("Nothing in this message may run.") >= 0,
      h2text: h2.textContent,
      h2dir: win.getComputedStyle(h2).direction,
      descText: desc.textContent,
      descDir: win.getComputedStyle(desc).direction,
      links: [],
      beacons: 0,
      images: []
    };
    var anchors = doc.querySelectorAll("a[href]");
    for (var n = 0; n < anchors.length; n++) frame.links.push(anchors[n].getAttribute("href"));
    var pictures = doc.querySelectorAll("img");
    for (var m = 0; m < pictures.length; m++) {
      var w = parseInt(pictures[m].getAttribute("width"), 10);
      var h = parseInt(pictures[m].getAttribute("height"), 10);
      if (w <= 1 && h <= 1) frame.beacons++;
    }
    var all = doc.querySelectorAll("*");
    for (var k = 0; k < all.length; k++) {
      for (var a = 0; a < all[k].attributes.length; a++) {
        var name = all[k].attributes[a].name, value = all[k].attributes[a].value;
        if (/^on/i.test(name) || /^\\s*(javascript|vbscript|data):/i.test(value)) frame.handlers++;
      }
    }
    var images = doc.querySelectorAll("img");
    for (var j = 0; j < images.length; j++) {
      var box = images[j].getBoundingClientRect();
      frame.images.push({inDesc: desc.contains(images[j]), left: box.left, right: box.right,
                         width: box.width, loaded: images[j].naturalWidth > 0});
    }
    report.frames.push(frame);
  }
  document.getElementById("qf-probe").textContent = JSON.stringify(report);
});
</script>"""


def probe(chromium, page, width, profile):
    """Loads a copy of `page` with the probe added, at `width` pixels; returns the report."""
    with open(page, encoding="utf-8") as source:
        text = source.read()
    probed = page[:-len(".html")] + ".probe.html"
    with open(probed, "w", encoding="utf-8") as out:
        out.write(text.replace("</body>", PROBE + "</body>"))
    done = subprocess.run(
        [chromium, "--headless", "--no-sandbox", "--disable-gpu", "--user-data-dir=" + profile,
         "--window-size=%d,1200" % width, "--virtual-time-budget=10000", "--dump-dom",
         "file://" + probed], stdout=subprocess.PIPE, stderr=subprocess.DEVNULL, timeout=120)
    os.remove(probed)
    found = re.search(r'<pre id="qf-probe">(.*?)</pre>', done.stdout.decode("utf-8", "replace"),
                      re.S)
    if not found or not found.group(1):
        return None
    return json.loads(found.group(1).replace("&quot;", '"').replace("&amp;", "&")
                      .replace("&lt;", "<").replace("&gt;", ">"))


def main():
    if len(sys.argv) != 2:
        sys.exit(__doc__)
    build = os.path.abspath(sys.argv[1])
    chromium = shutil.which("chromium") or sys.exit("chromium is missing")
    out = tempfile.mkdtemp(prefix="quillfeed-browser-", dir=os.path.join(CHECKOUT, "build-logs"))
    folders = demo.FOLDERS + [("Hostile", "hostile.rss", "RSS 2.0", "default.css",
                               ["--auto", "30"])]
    with open(os.path.join(out, "story.log"), "w") as log:
        saved, sys.stdout = sys.stdout, log
        try:
            index = demo.story(out, "browser test", build, "pxQuillfeed.so",
                               os.path.join(build, "pellix"), [], folders, [HOSTILE])
        finally:
            sys.stdout = saved
    pages = os.path.dirname(index)
    failures = []
    checks = 0

    def expect(condition, what):
        nonlocal checks
        checks += 1
        if not condition:
            failures.append(what)

    profile = os.path.join(out, "profile")
    for style, color, size, family, background in STYLES:
        for width in WIDTHS:
            where = "style %s at %d px" % (style, width)
            report = probe(chromium, os.path.join(pages, "style-%s.html" % style), width, profile)
            expect(report is not None and len(report["frames"]) == 1, where + ": no report")
            if report is None or not report["frames"]:
                continue
            frame = report["frames"][0]
            expect(frame["h2color"] == color, "%s: title colour %s" % (where, frame["h2color"]))
            expect(frame["h2size"] == size, "%s: title size %s" % (where, frame["h2size"]))
            expect(frame["family"].startswith(family), "%s: font %s" % (where, frame["family"]))
            expect(frame["background"] == background,
                   "%s: background %s" % (where, frame["background"]))
            expect(frame["descLineHeight"] != "normal", where + ": the description's spacing")
            expect(len(frame["images"]) == 2 and all(i["loaded"] for i in frame["images"]),
                   where + ": the banner and description images did not both load")
            for image in frame["images"]:
                expect(image["left"] >= -0.5 and image["right"] <= frame["viewport"] + 0.5,
                       "%s: an image reaches past the message (%.1f-%.1f of %d)" %
                       (where, image["left"], image["right"], frame["viewport"]))
                if image["inDesc"]:
                    expect(image["width"] <= frame["descWidth"] + 0.5,
                           "%s: an image %.1f px wide in a description of %.1f px" %
                           (where, image["width"], frame["descWidth"]))

    for folder, *_ in demo.FOLDERS:
        report = probe(chromium, os.path.join(pages, "folder-%s.html" % folder), 1000, profile)
        expect(report is not None and len(report["frames"]) >= 2,
               "folder %s: its messages are not on its page" % folder)

    # Every character of the feed in four scripts reaches its page: titles, header and body.
    with open(os.path.join(pages, "folder-World.html"), encoding="utf-8") as world:
        shown = world.read()
    for words in ("今日は晴れ。港に新しい桟橋 ☀️", "Итоги дня: снег в горах ❄️", "Νέα γέφυρα στο λιμάνι 🌉",
                  "سوق السمك يفتح مبكرًا 🐟", "Анна Петрова", "тридцать сантиметров"):
        expect(words in shown, "folder World: %r is not on its page" % words)

    # Good mail: no subject is an address or cut inside a word, nothing tracks the reader, a
    # video's post links to its video, each script reads in its own direction.
    for folder, *_ in demo.FOLDERS:
        page = os.path.join(pages, "folder-%s.html" % folder)
        with open(page, encoding="utf-8") as source:
            subjects = [html.unescape(s) for s in
                        re.findall(r"<dt>Subject</dt><dd>(.*?)</dd>", source.read())]
        report = probe(chromium, page, 1000, profile)
        if report is None or len(report["frames"]) != len(subjects):
            expect(False, "folder %s: its subjects and messages do not pair" % folder)
            continue
        for subject, frame in zip(subjects, report["frames"]):
            expect(not re.match(r"\s*(https?://|www\.)", subject),
                   "folder %s: the subject %r is an address" % (folder, subject))
            if subject.endswith("\u2026"):
                text = " ".join(frame["descText"].split())
                expect(re.search(re.escape(subject[:-1]) + r"(?!\w)", text) is not None,
                       "folder %s: the subject %r is cut inside a word" % (folder, subject))
            expect(frame["beacons"] == 0, "folder %s: a web beacon is left in %r" % (folder,
                                                                                  subject))
            expect(not any(re.search(r"[?&](utm_|fbclid|gclid)", link) for link in frame["links"]),
                   "folder %s: a tracking parameter is left in %r" % (folder, subject))
        if folder in ("Social", "Videos"):
            expect(any("https://www.youtube.com/watch?v=HarbourPier1" in frame["links"]
                       for frame in report["frames"]),
                   "folder %s: no message links to the pier's video" % folder)
        if folder == "World":
            for frame in report["frames"]:
                arabic = re.search("[\u0600-\u06ff]", frame["h2text"]) is not None
                want = "rtl" if arabic else "ltr"
                expect(frame["h2dir"] == want and frame["descDir"] == want,
                       "folder World: %r reads %s/%s, not %s" % (frame["h2text"], frame["h2dir"],
                                                               frame["descDir"], want))

    def luminance(colour):
        red, green, blue = (int(part) for part in re.findall(r"\d+", colour)[:3])
        return (0.2126 * red + 0.7152 * green + 0.0722 * blue) / 255

    report = probe(chromium, os.path.join(pages, "dark-Harbour.html"), 1000, profile)
    expect(report is not None and len(report["frames"]) >= 2, "dark page: no report")
    for frame in (report or {"frames": []})["frames"]:
        expect(luminance(frame["background"]) < 0.2 and luminance(frame["h2color"]) > 0.5,
               "dark page: a message shows %s on %s" % (frame["h2color"], frame["background"]))

    report = probe(chromium, os.path.join(pages, "folder-Hostile.html"), 1000, profile)
    expect(report is not None and len(report["frames"]) == 2, "hostile folder: no report")
    if report:
        expect(report["title"] == "Folder Hostile", "hostile folder: the title became %r, so "
               "script from a feed ran" % report["title"])
        for number, frame in enumerate(report["frames"], 1):
            expect(frame["marked"] == 0, "hostile message %d: script marked an element" % number)
            expect(frame["scripts"] == 0, "hostile message %d: active elements came through" %
                   number)
            expect(frame["handlers"] == 0, "hostile message %d: %d handler or script address(es) "
                   "came through" % (number, frame["handlers"]))
        expect(report["frames"][0]["victim"], "hostile message 1: its harmless text is missing")

    for failure in failures:
        print("browser test: " + failure)
    print("browser test: %d checks, %d failed (pages in %s)" % (checks, len(failures), pages))
    if not failures:
        shutil.rmtree(out, ignore_errors=True)
    sys.exit(1 if failures else 0)


if __name__ == "__main__":
    main()
