#!/usr/bin/env python3
"""Writes the source folder of a generated manual: PAGES HTML pages of about SIZE bytes each.

The prose draws on a vocabulary of made-up words with Zipf-like frequencies, as real text does, so
that common words are on every page and rare ones on a few; pages carry the markup of real
documentation (head, style, script, headings, lists, code, links, entities) and some version
numbers and hexadecimal values.
"""
import os
import random
import sys

SYLLABLES = ["ka", "lo", "mi", "ne", "tur", "sa", "vel", "dor", "qui", "an", "ber", "cho", "fis", "gar",
             "hel", "ix", "jo", "ment", "or", "pre", "res", "sto", "tion", "ul", "wen", "zy", "ex", "im"]


def vocabulary(rng, count):
    words = set()
    while len(words) < count:
        words.add("".join(rng.choice(SYLLABLES) for _ in range(rng.randint(1, 4))))
    words = sorted(words)
    rng.shuffle(words)
    return words


def main(folder, pages, size):
    rng = random.Random(20261208)
    words = vocabulary(rng, 30000)
    weights = [1.0 / (rank + 1) for rank in range(len(words))]
    cumulative = []
    total = 0.0
    for w in weights:
        total += w
        cumulative.append(total)
    os.makedirs(folder, exist_ok=True)
    for page in range(pages):
        def sentence(n):
            return " ".join(rng.choices(words, cum_weights=cumulative, k=n))
        title = sentence(3).capitalize()
        parts = ["<!DOCTYPE html>\n<html><head><meta charset=\"utf-8\"><title>%s</title>" % title,
                 "<style>body { font-family: sans-serif } .note { color: #333 }</style>",
                 "<script>var page = %d; function toggle() { return page > 0; }</script>" % page,
                 "</head><body>\n<h1>%s</h1>\n" % title]
        length = sum(len(p) for p in parts)
        section = 0
        while length < size:
            section += 1
            block = ["<h2 id=\"s%d\">%s</h2>\n<p>" % (section, sentence(2).capitalize())]
            for _ in range(rng.randint(3, 6)):
                block.append(sentence(rng.randint(8, 20)).capitalize() + ". ")
                if rng.random() < 0.3:
                    block.append("See <a href=\"page%04d.htm\">%s</a> &amp; more. " % (rng.randrange(pages), sentence(2)))
                if rng.random() < 0.1:
                    block.append("Version %d.%d at <code>0x%x</code>. " % (rng.randint(1, 9), rng.randint(0, 20),
                                                                           rng.randrange(4096)))
            block.append("</p>\n<ul>")
            for _ in range(rng.randint(2, 4)):
                block.append("<li>%s</li>" % sentence(6))
            block.append("</ul>\n")
            text = "".join(block)
            parts.append(text)
            length += len(text)
        parts.append("</body></html>\n")
        with open(os.path.join(folder, "page%04d.htm" % page), "w", encoding="utf-8") as out:
            out.write("".join(parts))
    # The queries the benchmark runs, one a line: single words common, middling and rare, pairs of
    # words, and phrases taken from the text itself.
    queries = [words[50], words[1000], words[5000],
               "%s %s" % (words[5], words[200]), "%s %s" % (words[50], words[3000]),
               "%s %s" % (words[100], words[1000])]
    with open(os.path.join(folder, "page0007.htm"), encoding="utf-8") as page:
        prose = [p.split("</h2>\n<p>")[1].split(".")[0].lower().split() for p in page.read().split("<h2")[1:4]]
    queries += ['"%s %s"' % tuple(prose[0][2:4]), '"%s %s"' % tuple(prose[1][3:5]), '"%s %s %s"' % tuple(prose[2][1:4])]
    with open(os.path.join(folder, "..", "queries.txt"), "w", encoding="utf-8") as out:
        out.write("\n".join(queries) + "\n")


if __name__ == "__main__":
    main(sys.argv[1], int(sys.argv[2]), int(sys.argv[3]))
