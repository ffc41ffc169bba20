"""The sets made here: an MkDocs site, a Sphinx site and a pandoc EPUB from Markdown on the machine,
folders gathered under one home page, and ZIMs of each folder."""

import gzip
import html
import json
import os
import re
import shutil
import struct
import time
import zlib

from realbooks.common import log, run, last_line, Failure


def gather_markdown(limit=24, largest=150_000):
    """Markdown files from /usr/share/doc, grouped by package: packages with several files first
    (they become sections), then single files, smallest names first so runs agree."""
    by_package = {}
    root = "/usr/share/doc"
    for package in sorted(os.listdir(root)):
        folder = os.path.join(root, package)
        if not os.path.isdir(folder) or os.path.islink(folder):
            continue
        for name in sorted(os.listdir(folder)):
            path = os.path.join(folder, name)
            if not (name.endswith(".md") or name.endswith(".md.gz")) or not os.path.isfile(path):
                continue
            try:
                opener = gzip.open if name.endswith(".gz") else open
                with opener(path, "rb") as file:
                    text = file.read(largest + 1).decode("utf-8")
            except (OSError, UnicodeDecodeError):
                continue
            if len(text) > largest or len(text) < 200:
                continue
            by_package.setdefault(package, []).append((name[:-3] if name.endswith(".gz") else name, text))
    groups = sorted(by_package.items(), key=lambda item: (-min(len(item[1]), 4), item[0]))
    sections, singles, total = [], [], 0
    for package, files in groups:
        if total >= limit:
            break
        if len(files) >= 2 and len(sections) < 3:
            sections.append((package, files[:4]))
            total += len(files[:4])
        elif len(files) >= 1:
            singles.append((package, files[:1]))
            total += 1
    return sections, singles


def markdown_title(text, fallback):
    for line in text.splitlines():
        match = re.match(r"#{1,2}\s+(.+?)\s*#*\s*$", line)
        if match:
            title = re.sub(r"[`*_\[\]<>]", "", match.group(1)).strip()
            if title:
                return title[:80]
    return fallback


def make_mkdocs(cache, sections, singles):
    source = os.path.join(cache, "mkdocs-src")
    site = os.path.join(cache, "mkdocs-site")
    if os.path.isfile(os.path.join(site, "index.html")):
        return site
    shutil.rmtree(source, ignore_errors=True)
    docs = os.path.join(source, "docs")
    os.makedirs(docs)
    nav = [{"Home": "index.md"}]
    home = ["# Package notes", "", "Notes that packages on this machine ship as Markdown.", ""]
    other = []
    for package, files in sections + singles:
        os.makedirs(os.path.join(docs, package), exist_ok=True)
        entries = []
        for name, text in files:
            with open(os.path.join(docs, package, name), "w", encoding="utf-8") as file:
                file.write(text)
            title = markdown_title(text, f"{package}: {name}")
            entries.append({title: f"{package}/{name}"})
            home.append(f"- [{title}]({package}/{name}) ({package})")
        if (package, files) in sections:
            nav.append({package: entries})
        else:
            other.extend(entries)
    nav.append({"Other packages": other})
    with open(os.path.join(docs, "index.md"), "w", encoding="utf-8") as file:
        file.write("\n".join(home) + "\n")
    # JSON is YAML; use_directory_urls is left at its default (true), as most MkDocs sites have it.
    config = {"site_name": "Package notes", "nav": nav, "theme": {"name": "mkdocs"}}
    with open(os.path.join(source, "mkdocs.yml"), "w", encoding="utf-8") as file:
        json.dump(config, file, indent=1)
    with open(os.path.join(source, "nav.json"), "w", encoding="utf-8") as file:
        json.dump(nav, file)
    status, _, err = run(["mkdocs", "build", "-q", "-f", os.path.join(source, "mkdocs.yml"), "-d", site + ".partial"], timeout=600)
    if status != 0:
        raise Failure(f"mkdocs build failed: {last_line(err)}")
    shutil.rmtree(site, ignore_errors=True)
    os.rename(site + ".partial", site)
    return site


def mkdocs_toc(cache):
    """The MkDocs site's own contents is the nav of its mkdocs.yml."""
    with open(os.path.join(cache, "mkdocs-src", "nav.json"), encoding="utf-8") as file:
        nav = json.load(file)

    def shape(items):
        entries, depth = len(items), 1 if items else 0
        for item in items:
            value = next(iter(item.values()))
            if isinstance(value, list):
                inner = shape(value)
                entries += inner["entries"]
                depth = max(depth, 1 + inner["depth"])
        return {"entries": entries, "depth": depth, "top": len(items)}

    return shape(nav)


PANDOC_NO_IMAGES = """
-- The Markdown comes from READMEs that link pictures on the web; the machine cannot fetch them.
function Image(image) return image.caption end
function RawInline(raw) if raw.text:find("<img") then return {} end end
function RawBlock(raw) if raw.text:find("<img") then return {} end end
"""


def pandoc_chapter(cache, package, name, text, target_format):
    """One Markdown file as a chapter: its headings moved down one level under a heading of its
    own, pictures from the web dropped."""
    lua = os.path.join(cache, "no-images.lua")
    with open(lua, "w", encoding="utf-8") as file:
        file.write(PANDOC_NO_IMAGES)
    source = os.path.join(cache, "pandoc-tmp.md")
    with open(source, "w", encoding="utf-8") as file:
        file.write(text)
    status, out, err = run(["pandoc", "-f", "gfm", "-t", target_format, "--shift-heading-level-by=1",
                            "--lua-filter", lua, source], timeout=300)
    if status != 0:
        raise Failure(f"pandoc could not read {package}/{name}: {last_line(err)}")
    return markdown_title(text, f"{package}: {name}"), out


def make_sphinx(cache, sections, singles):
    source = os.path.join(cache, "sphinx-src")
    site = os.path.join(cache, "sphinx-html")
    if os.path.isfile(os.path.join(site, "index.html")):
        return site
    shutil.rmtree(source, ignore_errors=True)
    os.makedirs(os.path.join(source, "guides"))
    with open(os.path.join(source, "conf.py"), "w", encoding="utf-8") as file:
        file.write('project = "Package notes"\nauthor = "Debian packages"\nhtml_theme = "alabaster"\n')

    def write_chapter(relative, title, body):
        line = "=" * max(len(title), 4)
        with open(os.path.join(source, relative + ".rst"), "w", encoding="utf-8") as file:
            file.write(f"{line}\n{title}\n{line}\n\n{body}\n")

    files = [(package, name, text) for package, group in sections + singles for name, text in group]
    chapters, guides = [], []
    for number, (package, name, text) in enumerate(files[:10]):
        title, body = pandoc_chapter(cache, package, name, text, "rst")
        # Headings shifted down once are numbered from two; rst ranks them by first appearance.
        if number < 7:
            chapters.append(f"chapter{number + 1:02d}")
            write_chapter(chapters[-1], title, body)
        else:
            guides.append(f"guide{len(guides) + 1}")
            write_chapter("guides/" + guides[-1], title, body)
    write_chapter("guides/index", "Guides", "Longer notes, one level down.\n\n.. toctree::\n   :maxdepth: 2\n\n"
                  + "".join(f"   {name}\n" for name in guides))
    write_chapter("index", "Package notes", "Notes that packages on this machine ship.\n\n.. toctree::\n   :maxdepth: 2\n"
                  "   :caption: Contents\n\n" + "".join(f"   {name}\n" for name in chapters + ["guides/index"]))
    status, _, err = run(["sphinx-build", "-q", "-b", "html", source, site + ".partial"], timeout=900)
    if status != 0:
        raise Failure(f"sphinx-build failed: {last_line(err)}")
    shutil.rmtree(site, ignore_errors=True)
    os.rename(site + ".partial", site)
    return site


def make_pandoc_epub(cache, sections, singles):
    epub = os.path.join(cache, "pandoc-book.epub")
    if os.path.isfile(epub):
        return epub
    folder = os.path.join(cache, "pandoc-src")
    shutil.rmtree(folder, ignore_errors=True)
    os.makedirs(folder)
    files = [(package, name, text) for package, group in sections + singles for name, text in group]
    chapters = []
    for number, (package, name, text) in enumerate(files[:12]):
        title, body = pandoc_chapter(cache, package, name, text, "markdown")
        chapters.append(os.path.join(folder, f"ch{number + 1:02d}.md"))
        with open(chapters[-1], "w", encoding="utf-8") as file:
            file.write(f"# {title}\n\n{body}\n")
    status, _, err = run(["pandoc", "-f", "markdown", "-t", "epub3", "--toc", "--toc-depth=2",
                          "--metadata", "title=Package notes", "--metadata", "lang=en",
                          "--metadata", "creator=Debian packages", "-o", epub + ".partial"] + chapters, timeout=600)
    if status != 0:
        raise Failure(f"pandoc failed: {last_line(err)}")
    os.rename(epub + ".partial", epub)
    return epub


def link_tree(source, target):
    """Hard links (a copy where they cannot be made) so a gathered set costs no space."""
    if run(["cp", "-al", source, target])[0] != 0:
        shutil.rmtree(target, ignore_errors=True)
        shutil.copytree(source, target, symlinks=True)


def page_title(path, fallback):
    try:
        with open(path, "rb") as file:
            match = re.search(rb"<title[^>]*>(.*?)</title>", file.read(65536), re.IGNORECASE | re.DOTALL)
        return html.unescape(match.group(1).decode("utf-8", "replace")).strip() or fallback
    except (OSError, AttributeError):
        return fallback


def write_home(folder, title, links):
    items = "\n".join(f'<li><a href="{html.escape(href)}">{html.escape(text)}</a></li>' for href, text in links)
    with open(os.path.join(folder, "index.html"), "w", encoding="utf-8") as file:
        file.write(f'<!DOCTYPE html>\n<html lang="en"><head><meta charset="utf-8"><title>{html.escape(title)}</title></head>\n'
                   f'<body><h1>{html.escape(title)}</h1>\n<ul class="toc">\n{items}\n</ul></body></html>\n')


def handbook_languages(roots):
    folder = roots["handbook-html"]
    return sorted(name for name in os.listdir(folder) if os.path.isfile(os.path.join(folder, name, "index.html")))


def make_handbook_all(cache, roots):
    target = os.path.join(cache, "handbook-all")
    if os.path.isfile(os.path.join(target, "index.html")):
        return target
    shutil.rmtree(target, ignore_errors=True)
    link_tree(roots["handbook-html"], target)
    links = [(f"{language}/index.html", f"{page_title(os.path.join(target, language, 'index.html'), language)} ({language})")
             for language in handbook_languages(roots)]
    write_home(target, "The Debian Administrator's Handbook, every language", links)
    return target


def make_library(cache, roots):
    """PostgreSQL, Python and the Handbook in every language under one home page."""
    target = os.path.join(cache, "library")
    if os.path.isfile(os.path.join(target, "index.html")):
        return target
    shutil.rmtree(target, ignore_errors=True)
    os.makedirs(target)
    link_tree(roots["postgresql"], os.path.join(target, "postgresql"))
    link_tree(roots["python"], os.path.join(target, "python"))
    link_tree(roots["handbook-html"], os.path.join(target, "handbook"))
    links = [("postgresql/index.html", page_title(os.path.join(roots["postgresql"], "index.html"), "PostgreSQL")),
             ("python/index.html", page_title(os.path.join(roots["python"], "index.html"), "Python"))]
    links += [(f"handbook/{language}/index.html", f"Debian Administrator's Handbook ({language})")
              for language in handbook_languages(roots)]
    write_home(target, "Documentation library", links)
    return target


def write_png(path, size=48):
    def chunk(kind, data):
        return struct.pack(">I", len(data)) + kind + data + struct.pack(">I", zlib.crc32(kind + data) & 0xFFFFFFFF)

    rows = b"".join(b"\0" + bytes([40, 90, 160]) * size for _ in range(size))
    with open(path, "wb") as file:
        file.write(b"\x89PNG\r\n\x1a\n" + chunk(b"IHDR", struct.pack(">IIBBBBB", size, size, 8, 2, 0, 0, 0))
                   + chunk(b"IDAT", zlib.compress(rows)) + chunk(b"IEND", b""))


def make_zim(cache, book_set, rebuild):
    folder = os.path.join(cache, "zim")
    os.makedirs(folder, exist_ok=True)
    zim = os.path.join(folder, book_set.name + ".zim")
    if os.path.isfile(zim) and not rebuild:
        return zim
    illustration = os.path.join(folder, "illustration-48.png")
    write_png(illustration)
    # zimwriterfs takes the illustration as a path relative to the folder it packs.
    command = ["zimwriterfs", "-J", "2", f"--welcome={book_set.home}",
               f"--illustration={os.path.relpath(illustration, book_set.source)}",
               f"--language={book_set.language}", f"--title={book_set.title[:30]}",
               f"--description={book_set.title[:80]}", "--creator=Debian packages", "--publisher=real-books bench",
               f"--name={book_set.name}", book_set.source, zim + ".partial"]
    if os.path.exists(zim + ".partial"):
        os.remove(zim + ".partial")
    started = time.monotonic()
    status, out, err = run(command, timeout=7200)
    if status != 0 or not os.path.isfile(zim + ".partial"):
        raise Failure(f"zimwriterfs failed ({status}): {last_line(err) or last_line(out)}")
    os.rename(zim + ".partial", zim)
    log(f"{book_set.name}: ZIM written in {time.monotonic() - started:.0f} s: {zim}")
    return zim


def zimcheck_broken(zim):
    status, out, err = run(["zimcheck", "-J", "-U", zim], timeout=3600)
    try:
        logs = json.loads(out).get("logs") or []
    except json.JSONDecodeError:
        raise Failure(f"zimcheck gave no JSON ({status}): {last_line(err)}")
    # Entries without "links" report empty href attributes, not targets that are missing.
    return sum(len(entry.get("links") or []) for entry in logs if entry.get("check") == "url_internal")
