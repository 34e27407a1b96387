#!/usr/bin/env python3
"""Writes a corpus of XML files for comparing two builds of the XML unit byte for byte (compare.sh).

    make_corpus.py OUTDIR [RANDOM_FILES] [SEED]

The corpus holds the project's own files (lang/), settings-like documents, real files cut and mutated at
random bytes, and random documents made of the odd input the tolerant reader accepts: unclosed and stray
tags, "<br/>" forms, "/" and ">" in text, comments of every shape, declarations, entities valid and
broken, numeric references to line breaks, single-quoted and nameless attributes, duplicate names in
differing case, code-page bytes, NUL and control bytes, CR/LF mixes, deep trees and huge values.
"""
import os
import random
import sys

ROOT = os.path.dirname(os.path.dirname(os.path.dirname(os.path.abspath(__file__))))

NAMES = [b"a", b"b", b"Key", b"KEY", b"key", b"Value", b"Item", b"x-y", b"n.1", b"\xc0\xe1\xe2", b"\xe0\xe1\xe2",
         b"Section", b"!x", b"?p", b"-", b"a-", b"Root", b"\xff"]
ATTR_NAMES = [b"Name", b"NAME", b"name", b"Data", b"a", b"A", b"\xc0\xc1", b"\xe0\xe1", b"x:y", b"", b"Caption"]
TEXT_BITS = [b"hello", b"  spaced  ", b"a&amp;b", b"&lt;", b"&gt", b"a&gtb", b"&gt;", b"&quot;", b"&#65;", b"&#321;",
             b"&#13;", b"&#10;", b"&#0;", b"&#;", b"&#x41;", b"&apos;", b"& bare", b"&", b"&am", b"&#65", b"&lt",
             b"&q", b"&g", b"&l", b"x/y", b"a>b", b">", b"/", b"//", b"/>", b"\r\n", b"\n", b"\r", b"\t", b"\x00",
             b"\x01\x1f", b"\xc0\xe8\xf0", b"caf\xe9", b"\xd0\x9f\xd1\x80", b"'", b"=", b"\"", b"-->", b"--", b"?"]
ENTITIES = [b"&amp;", b"&lt;", b"&gt;", b"&gt", b"&quot;", b"&#65;", b"&#13;", b"&#10;", b"&#9;", b"&", b"&#x20;",
            b"&apos;", b"&#;", b"&#65", b"&nbsp;"]


def pick(rng, items):
    return items[rng.randrange(len(items))]


def text(rng, limit=6):
    return b"".join(pick(rng, TEXT_BITS) for _ in range(rng.randrange(limit)))


def attr_value(rng):
    parts = []
    for _ in range(rng.randrange(5)):
        r = rng.random()
        if r < 0.3:
            parts.append(pick(rng, ENTITIES))
        elif r < 0.4:
            parts.append(pick(rng, [b"\r\n", b"\n", b"\r", b"\t", b"\x00", b">", b"<", b"/", b"'", b"="]))
        else:
            parts.append(pick(rng, [b"1", b"Russian", b"C:\\Program Files\\x", b"a b", b"\xc0\xe1", b"&Open", b""]))
    return b"".join(parts)


def attributes(rng):
    out = []
    for _ in range(rng.randrange(5)):
        name = pick(rng, ATTR_NAMES)
        form = rng.randrange(12)
        value = attr_value(rng)
        if form == 0:
            out.append(b" " + name)  # no value: dropped
        elif form == 1:
            out.append(b" " + name + b"='" + value + b"'")  # single quotes join the name
        elif form == 2:
            out.append(b" " + name + b" = \"" + value + b"\"")
        elif form == 3:
            out.append(name + b"=\"" + value + b"\"")  # no blank before it
        elif form == 4:
            out.append(b" \"" + value + b"\"")  # a value without a name
        elif form == 5:
            out.append(b"\r\n\t" + name + b"=\"" + value + b"\"")
        elif form == 6:
            out.append(b" " + name + b"/x=\"" + value + b"\"")  # a "/" inside the tag
        elif form == 7:
            out.append(b" " + name + b"=\"" + value)  # unterminated value
        else:
            out.append(b" " + name + b"=\"" + value + b"\"")
    return b"".join(out)


def element(rng, depth, budget):
    name = pick(rng, NAMES)
    start = b"<" + (pick(rng, [b"", b" ", b"\t"]) if rng.random() < 0.05 else b"") + name + attributes(rng)
    shape = rng.randrange(10)
    if shape == 0:
        return start + pick(rng, [b" />", b"/>", b"/ >", b" / >"])
    if shape == 1:
        return start + b">" + text(rng)  # left open
    body = []
    for _ in range(rng.randrange(4 if depth < 6 else 1)):
        if budget[0] <= 0:
            break
        budget[0] -= 1
        r = rng.random()
        if r < 0.45:
            body.append(element(rng, depth + 1, budget))
        elif r < 0.7:
            body.append(text(rng))
        elif r < 0.85:
            body.append(comment(rng))
        else:
            body.append(oddity(rng))
    end = pick(rng, [b"</" + name + b">", b"</" + name.upper() + b">", b"</" + name + b" >", b"</" + name + b"/>",
                     b"</" + pick(rng, NAMES) + b">", b"</>", b"", b"</" + name + b" junk=\"1\">"])
    return start + b">" + b"".join(body) + end


def comment(rng):
    return pick(rng, [b"<!--", b"<!---"]) + text(rng, 4) + pick(rng, [b"-->", b"--->", b"- ->", b"--", b"->", b"-- >"])


def oddity(rng):
    return pick(rng, [b"<?xml version=\"1.0\" encoding=\"windows-1251\"?>", b"<!DOCTYPE x [ <!ENTITY e \">\"> ]>",
                      b"<!---->", b"<!-- created by Velmora XML package -->", b"</>", b"<>", b"< >", b"<", b">",
                      b"/>", b"</x", b"<a<b>", b"<?", b"<!", b"<!-", b"a/</b>", b"<br/>", b"<br />", b"<a/b>",
                      b"<![CDATA[ x<y ]]>", b"<\x00>", b"\xef\xbb\xbf", b"<x y=\"&#13;&#10;z\"/>", b"& &amp;"])


def random_document(rng):
    parts = []
    if rng.random() < 0.5:
        parts.append(pick(rng, [b"<?xml version=\"1.0\"?>\r\n", b"<?xml version=\"1.0\" encoding=\"utf-8\"?>\n",
                                b"\xef\xbb\xbf<?xml version=\"1.0\"?>", b""]))
    budget = [rng.randrange(5, 200)]
    for _ in range(rng.randrange(1, 5)):
        r = rng.random()
        parts.append(element(rng, 0, budget) if r < 0.7 else comment(rng) if r < 0.85 else oddity(rng))
        parts.append(pick(rng, [b"\r\n", b"\n", b"\r", b"", b"  ", b"\r\n\t"]))
    return b"".join(parts)


def settings_document(rng, keys):
    out = [b"<?xml version=\"1.0\"?>\r\n<!-- created by Velmora XML package -->\r\n"]
    for k in range(keys):
        out.append(b"  <Key%d Name=\"Section%d\" >\r\n" % (k % 7, k))
        for v in range(rng.randrange(1, 8)):
            out.append(b"    <Value Name=\"Item%d\" Data=\"%s\" />\r\n" % (v, attr_value(rng).replace(b"\"", b"")))
        if k % 3 == 0:
            out.append(b"    <Note>Text &amp; more %d</Note>\r\n" % k)
        out.append(b"  </Key%d>\r\n" % (k % 7))
    return b"".join(out)


def mutate(rng, data):
    data = bytearray(data)
    for _ in range(rng.randrange(1, 12)):
        if not data:
            break
        at = rng.randrange(len(data))
        op = rng.randrange(4)
        if op == 0:
            data[at] = rng.randrange(256)
        elif op == 1:
            data[at:at] = pick(rng, [b"<", b">", b"/", b"\"", b"&", b"-", b"!", b"?", b"=", b"\r", b"\x00", b"</a>"])
        elif op == 2:
            del data[at:at + rng.randrange(1, 20)]
        else:
            data = data[:at]
    return bytes(data)


def main():
    out_dir = sys.argv[1]
    count = int(sys.argv[2]) if len(sys.argv) > 2 else 3000
    rng = random.Random(int(sys.argv[3]) if len(sys.argv) > 3 else 13)
    os.makedirs(out_dir, exist_ok=True)
    files = {}
    real = []
    for language in sorted(os.listdir(os.path.join(ROOT, "lang"))):
        path = os.path.join(ROOT, "lang", language, "Uninstall.xml")
        if not os.path.isfile(path):
            continue
        with open(path, "rb") as f:
            real.append(f.read())
        files["lang-%s.xml" % language] = real[-1]
    real.append(settings_document(rng, 40))
    files["settings.xml"] = real[-1]
    files["empty.xml"] = b""
    files["declaration-only.xml"] = b"<?xml version=\"1.0\"?>"
    files["deep.xml"] = b"<d>" * 20000 + b"x" + b"</d>" * 20000
    files["deep-unclosed.xml"] = b"<d a=\"1\">" * 20000
    files["huge-text.xml"] = b"<a>" + b"t&amp;x " * 300000 + b"</a>"
    files["huge-attribute.xml"] = b"<a v=\"" + (b"v\r\n&lt;" * 200000) + b"\"/>"
    files["huge-comment.xml"] = b"<!--" + b"-c-" * 300000 + b"-->"
    files["many-attributes.xml"] = b"<a " + b"".join(b"n%d=\"%d\" N%d=\"x\" " % (i, i, i % 50) for i in range(3000)) + b"/>"
    files["many-children.xml"] = b"<a>" + b"<b i=\"1\"/>" * 50000 + b"</a>"
    files["crlf-mix.xml"] = b"<a>\r\n<b>\rx\n</b>\n\r<c v=\"1\r2\n3\r\n4\"/></a>"
    files["large-settings.xml"] = settings_document(rng, 3000)
    for i in range(count):
        r = rng.random()
        if r < 0.6:
            data = random_document(rng)
        elif r < 0.8:
            data = mutate(rng, pick(rng, real))
        else:
            data = mutate(rng, random_document(rng))
        files["random-%05d.xml" % i] = data
    for name, data in files.items():
        with open(os.path.join(out_dir, name), "wb") as f:
            f.write(data)
    print("%d files in %s" % (len(files), out_dir))


if __name__ == "__main__":
    main()
