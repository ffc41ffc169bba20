"""A small tolerant HTML tree, enough to read a book's own table of contents."""

import os
import zipfile
import xml.etree.ElementTree as ElementTree
from html.parser import HTMLParser

from realbooks.common import Failure


VOID_TAGS = {"area", "base", "br", "col", "embed", "hr", "img", "input", "link", "meta", "source", "track", "wbr"}
LIST_TAGS = {"ul", "ol", "dl"}


class Node:
    def __init__(self, tag, attrs):
        self.tag = tag
        self.attrs = dict(attrs)
        self.children = []

    def classes(self):
        return (self.attrs.get("class") or "").split()

    def text(self):
        return "".join(child if isinstance(child, str) else child.text() for child in self.children)


class TreeBuilder(HTMLParser):
    """Builds a tree that survives unclosed items: a new li closes an open li, dt and dd close each
    other, and an end tag with no open element of its name is ignored."""

    def __init__(self):
        super().__init__(convert_charrefs=True)
        self.root = Node("#root", [])
        self.stack = [self.root]

    def handle_starttag(self, tag, attrs):
        top = self.stack[-1].tag
        if (tag == "li" and top == "li") or (tag in ("dt", "dd") and top in ("dt", "dd")) or (tag == "p" and top == "p"):
            self.stack.pop()
        node = Node(tag, attrs)
        self.stack[-1].children.append(node)
        if tag not in VOID_TAGS:
            self.stack.append(node)

    def handle_startendtag(self, tag, attrs):
        self.stack[-1].children.append(Node(tag, attrs))

    def handle_endtag(self, tag):
        for depth in range(len(self.stack) - 1, 0, -1):
            if self.stack[depth].tag == tag:
                del self.stack[depth:]
                return

    def handle_data(self, data):
        self.stack[-1].children.append(data)


def parse_html(path):
    with open(path, "rb") as file:
        data = file.read().decode("utf-8", "replace")
    builder = TreeBuilder()
    builder.feed(data)
    builder.close()
    return builder.root


def find_first(node, predicate):
    for child in node.children:
        if isinstance(child, Node):
            if predicate(child):
                return child
            found = find_first(child, predicate)
            if found is not None:
                return found
    return None


def lists_below(node):
    """The nearest lists inside a node (not the lists nested inside those)."""
    found = []
    for child in node.children:
        if isinstance(child, Node):
            if child.tag in LIST_TAGS:
                found.append(child)
            else:
                found.extend(lists_below(child))
    return found


def has_link_outside_lists(node):
    for child in node.children:
        if isinstance(child, Node) and child.tag not in LIST_TAGS:
            if child.tag == "a" and child.attrs.get("href"):
                return True
            if has_link_outside_lists(child):
                return True
    return False


def list_shape(list_node):
    """Entries, depth and top-level count of a nested list of links. An entry is an item (li, or dt
    in a definition list) holding a link of its own; an item that only wraps a nested list (as
    mdBook writes sections) adds its entries one level down."""
    items = [child for child in list_node.children if isinstance(child, Node) and child.tag in ("li", "dt", "dd")]
    top = entries = 0
    depth = 1
    for item in items:
        if item.tag in ("li", "dt") and has_link_outside_lists(item):
            top += 1
        for nested in lists_below(item):
            shape = list_shape(nested)
            entries += shape["entries"]
            depth = max(depth, 1 + shape["depth"])
    return {"entries": entries + top, "depth": depth if top or entries else 0, "top": top}


def toc_in_page(path, predicate):
    """The shape of the table of contents in one page: the first element the predicate accepts,
    or the first list inside it."""
    container = find_first(parse_html(path), predicate)
    if container is None:
        raise Failure(f"no table of contents found in {path}")
    if container.tag not in LIST_TAGS:
        inner = lists_below(container)
        if not inner:
            raise Failure(f"the table of contents in {path} holds no list")
        container = inner[0]
    return list_shape(container)


def has_class(tag, name):
    return lambda node: node.tag == tag and name in node.classes()


def epub_toc(epub_path):
    """The shape of an EPUB's own navigation: the EPUB 3 nav document's toc list, else the NCX."""
    with zipfile.ZipFile(epub_path) as archive:
        container = ElementTree.fromstring(archive.read("META-INF/container.xml"))
        rootfile = next(node for node in container.iter() if node.tag.endswith("rootfile"))
        opf_name = rootfile.attrib["full-path"]
        opf = ElementTree.fromstring(archive.read(opf_name))
        base = os.path.dirname(opf_name)
        items = [node for node in opf.iter() if node.tag.endswith("}item")]
        nav = next((item for item in items if "nav" in (item.get("properties") or "").split()), None)
        if nav is not None:
            builder = TreeBuilder()
            builder.feed(archive.read(os.path.join(base, nav.get("href"))).decode("utf-8", "replace"))
            toc = find_first(builder.root, lambda node: node.tag == "nav" and node.attrs.get("epub:type") == "toc")
            if toc is not None and lists_below(toc):
                return list_shape(lists_below(toc)[0]), "the nav document's toc list"
        ncx = next((item for item in items if item.get("media-type") == "application/x-dtbncx+xml"), None)
        if ncx is None:
            raise Failure("the EPUB has neither a nav document nor an NCX")
        tree = ElementTree.fromstring(archive.read(os.path.join(base, ncx.get("href"))))

        def points(node):
            return [child for child in node if child.tag.endswith("navPoint")]

        def shape(point_list):
            entries, depth = len(point_list), 1 if point_list else 0
            for point in point_list:
                inner = shape(points(point))
                entries += inner["entries"]
                depth = max(depth, 1 + inner["depth"])
            return {"entries": entries, "depth": depth, "top": len(point_list)}

        nav_map = next(node for node in tree.iter() if node.tag.endswith("navMap"))
        return shape(points(nav_map)), "the NCX navMap's navPoints"
