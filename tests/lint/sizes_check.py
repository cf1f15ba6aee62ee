#!/usr/bin/env python3
"""Keeps the sources small: no file over 400 lines, no function over 60.

Usage: sizes_check.py SOURCE_DIR   (checks src/, tests/ and bench/ under it)

A function is found by matching braces: a brace opened at namespace or class
level after a parameter list starts a function body, and everything up to its
matching brace (lambdas and local classes included) counts toward it. Its
length is the lines from that opening brace to the closing one. Comments,
strings and character literals are blanked before braces are counted.
"""
import os
import re
import sys

MAX_FILE_LINES = 400
MAX_FUNCTION_LINES = 60
SOURCE_SUFFIXES = ('.cpp', '.h', '.hpp', '.c', '.cc')
LINE_COUNTED_SUFFIXES = SOURCE_SUFFIXES + ('.py', '.sh', '.txt')
FOLDERS = ('src', 'tests', 'bench')

# Data tables may be longer: (path, function name or None for the whole file)
# -> why. Keep this short.
ALLOWED = {
}


def blank_literals(text):
    """Replaces comments, strings and character literals by spaces, keeping
    line breaks, so that braces in them are not counted."""
    out = []
    i, n = 0, len(text)
    while i < n:
        c = text[i]
        if text.startswith('//', i):
            j = text.find('\n', i)
            j = n if j < 0 else j
            out.append(' ' * (j - i))
            i = j
        elif text.startswith('/*', i):
            j = text.find('*/', i + 2)
            j = n if j < 0 else j + 2
            out.append(re.sub(r'[^\n]', ' ', text[i:j]))
            i = j
        elif c == 'R' and text.startswith('R"', i) and not _ident_char(text, i - 1):
            m = re.compile(r'R"([^(\s]*)\(').match(text, i)
            if not m:
                out.append(c)
                i += 1
                continue
            end = text.find(')' + m.group(1) + '"', m.end())
            j = n if end < 0 else end + len(m.group(1)) + 2
            out.append('""' + re.sub(r'[^\n]', ' ', text[i + 2:j]))
            i = j
        elif c in '"\'':
            if c == "'" and _ident_char(text, i - 1) and text[i - 1].isdigit():
                out.append(' ')  # digit separator: 1'000'000
                i += 1
                continue
            j = i + 1
            while j < n and text[j] != c and text[j] != '\n':
                j += 2 if text[j] == '\\' else 1
            j = min(j + 1, n)
            out.append(c + ' ' * (j - i - 2) + c if j - i >= 2 else c)
            i = j
        else:
            out.append(c)
            i += 1
    return ''.join(out)


def _ident_char(text, i):
    return i >= 0 and (text[i].isalnum() or text[i] == '_')


# Scopes a brace can open.
NAMESPACE, CLASS, FUNCTION, INIT, BLOCK = 'namespace', 'class', 'function', 'init', 'block'


def _classify(header):
    """What a brace opened at namespace or class level starts, from the text
    before it (since the last ';', '{' or '}')."""
    h = re.sub(r'\boperator\s*(\(\)|[^\s(]+)', 'operator', header)
    if re.search(r'\b(namespace|extern)\b', h) and '(' not in h:
        return NAMESPACE
    depth = 0
    for ch in h:
        depth += ch == '('
        depth -= ch == ')'
    if depth > 0:
        return INIT  # a brace inside an argument list
    if re.search(r'\b(class|struct|union|enum)\b', h) and not re.search(r'\)\s*(const\s*)?$', h.strip()):
        # ...unless it is a function returning a struct; these end in ')'.
        return CLASS if '=' not in re.sub(r'<[^<>]*>', '', h) else INIT
    outside_parens, count = h, 1
    while count:
        outside_parens, count = re.subn(r'\([^()]*\)', '@', outside_parens)
    if '=' in outside_parens.replace('==', ''):
        return INIT  # an initialiser, a table, or a lambda kept in a variable
    if ')' in h:
        # A constructor's member initialisers (`: a_{x}, b_{y} {`) open braces
        # that end in a name; the body's brace follows ')' or '}'.
        if re.search(r'\)\s*(noexcept\s*)?:(?!:)', h) and re.search(r'[\w>]\s*$', h):
            return INIT
        return FUNCTION
    return INIT


def functions(text):
    """Yields (name, first line, last line) of every function body."""
    clean = blank_literals(text)
    stack = []  # (kind, start line, name)
    header = []
    header_line = 1
    line = 1
    for ch in clean:
        if ch == '\n':
            line += 1
        in_function = any(kind in (FUNCTION, INIT) for kind, _, _ in stack)
        if ch == '{':
            if in_function:
                stack.append((BLOCK, line, ''))
                continue
            head = ''.join(header)
            kind = _classify(head)
            stack.append((kind, line, _name(head)))
            if kind == INIT:
                header.append('{')  # the body's brace follows this one's '}'
            else:
                header = []
        elif ch == '}':
            if not stack:
                continue
            kind, start, name = stack.pop()
            if kind == FUNCTION:
                yield name, start, line
            if kind == INIT:
                header.append('}')
            elif kind != BLOCK:
                header = []
        elif ch == ';' and not in_function:
            header = []
        elif not in_function:
            if not header and ch.isspace():
                continue
            header.append(ch)


def _name(header):
    """The function's name and parameters, from its header."""
    m = re.search(r'((?:[\w:]*::)?operator\s*(?:\(\)|[^\s(]+)|[~\w:]+)\s*(<[^()]*>)?\s*\(', header)
    if not m:
        return header.strip()[:60]
    depth, end = 0, m.end() - 1
    for end in range(m.end() - 1, len(header)):
        depth += header[end] == '('
        depth -= header[end] == ')'
        if depth == 0:
            break
    return re.sub(r'\s+', ' ', m.group(1) + header[m.end() - 1:end + 1])[:80]


def offenders(root):
    found = []
    for folder in FOLDERS:
        for dirpath, dirnames, filenames in os.walk(os.path.join(root, folder)):
            # bench/out holds what the benchmarks wrote (other programs' files too), not sources.
            if os.path.relpath(dirpath, root) == 'bench' and 'out' in dirnames:
                dirnames.remove('out')
            dirnames.sort()
            for filename in sorted(filenames):
                path = os.path.join(dirpath, filename)
                rel = os.path.relpath(path, root)
                if not filename.endswith(LINE_COUNTED_SUFFIXES):
                    continue
                with open(path, encoding='utf-8') as f:
                    text = f.read()
                lines = text.count('\n') + (0 if text.endswith('\n') or not text else 1)
                if lines > MAX_FILE_LINES and (rel, None) not in ALLOWED:
                    found.append(f'{rel}: {lines} lines (limit {MAX_FILE_LINES})')
                if not filename.endswith(SOURCE_SUFFIXES):
                    continue
                for name, first, last in functions(text):
                    length = last - first + 1
                    short = re.sub(r'\(.*', '', name)
                    if length > MAX_FUNCTION_LINES and (rel, short) not in ALLOWED:
                        found.append(f'{rel}:{first}: {name}: {length} lines (limit {MAX_FUNCTION_LINES})')
    return found


def main(argv):
    if len(argv) != 2:
        sys.stderr.write(__doc__)
        return 2
    found = offenders(argv[1])
    for item in found:
        print(item)
    return 1 if found else 0


if __name__ == '__main__':
    sys.exit(main(sys.argv))
