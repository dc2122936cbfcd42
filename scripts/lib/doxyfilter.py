#!/usr/bin/env python3
"""Doxygen input filter for the public headers: doxyfilter.py HEADER

The headers use plain // comments. For the API reference this filter turns
  - the comment that opens a header into the file's documentation,
  - a comment block directly above a declaration or #define into its
    documentation,
  - a comment after a declaration on the same line into its documentation,
and leaves every other comment plain. The output keeps one line per input
line after the first, so doxygen's warnings point one line below the header's."""
import re
import sys

TRAILING = re.compile(r'^(?P<code>[^/"]*?[;,{)]|\s*[A-Za-z_][A-Za-z0-9_]*\s*(=\s*[^/]+)?,?)\s*//\s?(?P<text>.*)$')
NOT_DOCUMENTED = re.compile(r'^\s*($|#\s*(if|ifn?def|endif|else|elif|include)\b|}|(public|private|protected):|VOS_NAMESPACE_)')


def is_comment(line):
    s = line.lstrip()
    return s.startswith("//") and not s.startswith("///")


def main(path):
    with open(path, encoding="utf-8") as f:
        lines = f.read().split("\n")
    out = []
    i = 0
    if lines and is_comment(lines[0]):
        out.append("/// \\file")
        while i < len(lines) and is_comment(lines[i]):
            out.append("///" + lines[i].lstrip()[2:])
            i += 1
    while i < len(lines):
        if is_comment(lines[i]):
            j = i
            while j < len(lines) and is_comment(lines[j]):
                j += 1
            documents = j < len(lines) and not NOT_DOCUMENTED.match(lines[j])
            for line in lines[i:j]:
                if documents:
                    indent = line[: len(line) - len(line.lstrip())]
                    out.append(indent + "///" + line.lstrip()[2:])
                else:
                    out.append(line)
            i = j
            continue
        m = TRAILING.match(lines[i])
        if m and not lines[i].lstrip().startswith("#"):
            out.append(m.group("code") + "  ///< " + m.group("text"))
        else:
            out.append(lines[i])
        i += 1
    sys.stdout.write("\n".join(out))


if __name__ == "__main__":
    main(sys.argv[1])
