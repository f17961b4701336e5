"""Static preview pages of feed folders, made from what the stand-in host shows.

For every message, `pellix show` hands over the source the mail client would display, with the
folder's stylesheet already injected. A folder's page shows each message as the client's viewer
does: the header fields above, the body rendered in a frame of its own with that stylesheet
applied. The pages need no server: the stylesheets are copied beside them, and whatever the
messages fetched from the demo's web server (images) is copied too and linked locally.

Used by scripts/demo.py and scripts/browser-test.py.
"""

import email.header
import html
import os
import re
import shutil

SHOWN_FIELDS = ("Subject", "From", "Date")

PAGE = """<!DOCTYPE html>
<html lang="en"><head><meta charset="utf-8"><title>{title}</title>
<style>
body {{ font-family: system-ui, sans-serif; margin: 0; background: #e9ecef; color: #222; }}
header {{ background: #263238; color: #fff; padding: 12px 20px; }}
header a {{ color: #b3e5fc; }}
main {{ padding: 12px 20px; }}
article {{ background: #fff; margin: 0 0 18px 0; border: 1px solid #c5cbd1; }}
article dl {{ margin: 0; padding: 8px 12px; background: #f5f6f7; border-bottom: 1px solid #c5cbd1;
             display: grid; grid-template-columns: max-content 1fr; gap: 2px 10px;
             font-size: 13px; }}
article dt {{ color: #666; }} article dd {{ margin: 0; }}
iframe {{ border: 0; width: 100%; height: 320px; display: block; }}
</style>
<script>
// Grows each message's frame to its content, as the client's viewer scrolls the whole message.
function fit(frame) {{
  frame.style.height = "0";
  frame.style.height = frame.contentDocument.documentElement.scrollHeight + "px";
}}
</script>
</head><body>
<header><h1 style="margin:0;font-size:20px">{heading}</h1>{subheading}</header>
<main>
{articles}
</main></body></html>
"""

ARTICLE = """<article id="message-{number}"><dl>{fields}</dl>
<iframe title="message {number}" sandbox="allow-same-origin" onload="fit(this)"
 srcdoc="{body}"></iframe></article>"""


def parse_source(source):
    """Splits a shown message into its header fields (unfolded) and its body."""
    lines = source.replace("\r\n", "\n").split("\n")
    fields, at = {}, 0
    last = None
    for at, line in enumerate(lines):
        if line == "":
            break
        if line[:1] in (" ", "\t") and last:
            fields[last] += " " + line.strip()
            continue
        name, _, value = line.partition(":")
        last = name.strip()
        fields[last] = value.strip()
    # Values beyond ASCII come as RFC 2047 encoded-words; the client shows them decoded.
    for name, value in fields.items():
        fields[name] = str(email.header.make_header(email.header.decode_header(value)))
    return fields, "\n".join(lines[at + 1:])


class Preview:
    """Collects folders and writes their pages into `out`.

    `styles_dir` is the plug-in's RssStyles folder; `site_url` and `site_dir` say where the demo's
    web server is and which folder it serves, so that what messages load from it is copied."""

    def __init__(self, out, styles_dir, site_url=None, site_dir=None):
        self.out = out
        self.styles_dir = styles_dir
        self.site_url = site_url.rstrip("/") + "/" if site_url else None
        self.site_dir = site_dir
        self.pages = []
        os.makedirs(os.path.join(out, "styles"), exist_ok=True)
        if site_dir:
            shutil.copytree(site_dir, os.path.join(out, "site"), dirs_exist_ok=True)

    def localize(self, body, style=None):
        """The body with its stylesheet link and the demo site's URLs pointing at local copies;
        `style` replaces the folder's stylesheet (for the page of every style)."""

        def stylesheet(match):
            name = style or re.split(r"[\\/]", match.group(2))[-1]
            source = os.path.join(self.styles_dir, name)
            if os.path.isfile(source):
                shutil.copy(source, os.path.join(self.out, "styles", name))
            return match.group(1) + "styles/" + name + match.group(3)

        body = re.sub(r'(<LINK REL="stylesheet" TYPE="text/css" HREF=")([^"]*)(")', stylesheet,
                      body, count=1)
        if self.site_url:
            # Only what the page loads (images) comes from the copy; links keep their address.
            def local(match):
                path = match.group(2)[len(self.site_url):].split("?")[0]
                if os.path.isfile(os.path.join(self.out, "site", path)):
                    return match.group(1) + "site/" + path + match.group(3)
                return match.group(0)

            body = re.sub(r'(src=")(%s[^"]*)(")' % re.escape(self.site_url), local, body)
        return body

    def page(self, file_name, heading, subheading, messages, style=None):
        """Writes one page; `messages` is a list of (number, shown source)."""
        articles = []
        for number, source in messages:
            fields, body = parse_source(source)
            rows = "".join("<dt>%s</dt><dd>%s</dd>" % (name, html.escape(fields.get(name, "")))
                           for name in SHOWN_FIELDS)
            articles.append(ARTICLE.format(number=number, fields=rows,
                                           body=html.escape(self.localize(body, style))))
        text = PAGE.format(title=html.escape(heading), heading=html.escape(heading),
                           subheading=subheading, articles="\n".join(articles))
        with open(os.path.join(self.out, file_name), "w", encoding="utf-8") as page:
            page.write(text)
        self.pages.append((file_name, heading, len(messages)))
        return os.path.join(self.out, file_name)

    def folder(self, folder_id, description, messages):
        return self.page("folder-%s.html" % folder_id, "Folder %s" % folder_id,
                         "<p style=\"margin:4px 0 0 0\">%s &middot; <a href=\"index.html\">all "
                         "folders</a></p>" % html.escape(description), messages)

    def dark(self, folder_id, description, messages):
        return self.page("dark-%s.html" % folder_id, "Folder %s, dark theme" % folder_id,
                         "<p style=\"margin:4px 0 0 0\">%s &middot; <a href=\"index.html\">all "
                         "folders</a></p>" % html.escape(description), messages)

    def every_style(self, number, source, styles):
        """One page per style, each showing the same message in it."""
        for style in styles:
            self.page("style-%s.html" % os.path.splitext(style)[0], "Style %s" % style,
                      "<p style=\"margin:4px 0 0 0\"><a href=\"index.html\">all folders</a></p>",
                      [(number, source)], style)

    def index(self, heading):
        items = "".join("<li><a href=\"%s\">%s</a> (%d message%s)</li>" %
                        (name, html.escape(title), count, "" if count == 1 else "s")
                        for name, title, count in self.pages)
        text = ("<!DOCTYPE html><html lang=\"en\"><head><meta charset=\"utf-8\"><title>%s</title>"
                "</head><body style=\"font-family:system-ui,sans-serif;margin:24px\"><h1>%s</h1>"
                "<ul>%s</ul></body></html>" % (html.escape(heading), html.escape(heading), items))
        path = os.path.join(self.out, "index.html")
        with open(path, "w", encoding="utf-8") as page:
            page.write(text)
        return path
