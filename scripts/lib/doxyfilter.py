#!/usr/bin/env python3
"""Doxygen input filter for the public headers: doxyfilter.py HEADER

The headers use plain // comments. For the API reference this filter turns
  - the comment that opens a header into the file's documentation,
  - a comment block directly above a declaration or #define into its
    documentation,
  - a comment after a declaration on the same line into its documentation,
and leaves every other comment plain. A comment whose first line ends with a
colon, or that stands above overloads of one function, introduces the run of
declarations below it (up to the next blank line, comment or access
specifier) and documents all of them: the run becomes a
member group whose members share the comment (DISTRIBUTE_GROUP_DOC). Doxygen's line numbers therefore run a little ahead
of the header's."""
import re
import sys

TRAILING = re.compile(r'^(?P<code>[^/"]*?[;,{)]|\s*[A-Za-z_][A-Za-z0-9_]*\s*(=\s*[^/]+)?,?)\s*//\s?(?P<text>.*)$')
DECL_NAME = re.compile(r'(operator\s*\S+?|~?\w+)\s*\(')
RUN_END = re.compile(r'^\s*($|//|}|(public|private|protected):|#(?!\s*define))')
NOT_DOCUMENTED = re.compile(r'^\s*($|#\s*(if|ifn?def|endif|else|elif|include)\b|}|(public|private|protected):|VOS_NAMESPACE_)')


def is_comment(line):
    s = line.lstrip()
    return s.startswith("//") and not s.startswith("///")


def overloads(run):
    """True when the run declares one function more than once."""
    names = [m.group(1) for m in (DECL_NAME.search(l) for l in run if l.rstrip().endswith((";", "}")))
             if m]
    return len(names) > 1 and len(set(names)) == 1 and len(names) == len(
        [l for l in run if l.rstrip().endswith((";", "}"))])


def trailing(line):
    m = TRAILING.match(line)
    if m and not line.lstrip().startswith("#"):
        return m.group("code") + "  ///< " + m.group("text")
    return line


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
            # The declarations the comment stands above.
            # Inline bodies belong to their declaration, so the run ends
            # only outside braces.
            k = j
            depth = 0
            while documents and k < len(lines) and (depth > 0 or not RUN_END.match(lines[k])):
                depth += lines[k].count("{") - lines[k].count("}")
                k += 1
            first_opens = lines[j].count("{") > lines[j].count("}")
            group = documents and (lines[i].rstrip().endswith(":") or overloads(lines[j:k])) and depth == 0 and k - j > 1 and not (first_opens and k - j > 1 and
                                                                    re.match(r"^\s*(class|struct|enum|union)\b", lines[j]))
            if group:
                out.append("///@{")
            for line in lines[i:j]:
                if documents:
                    indent = line[: len(line) - len(line.lstrip())]
                    out.append(indent + "///" + line.lstrip()[2:])
                else:
                    out.append(line)
            if group:
                for line in lines[j:k]:
                    out.append(trailing(line))
                out.append("///@}")
                i = k
            else:
                i = j
            continue
        out.append(trailing(lines[i]))
        i += 1
    sys.stdout.write("\n".join(out))


if __name__ == "__main__":
    main(sys.argv[1])
