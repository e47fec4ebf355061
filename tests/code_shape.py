#!/usr/bin/env python3
"""The code stays readable in pieces: no file under src/ longer than 600 lines
and no function (or lambda, or class member) body longer than 80 lines.

Bodies are found by braces: a '{' that ends a line whose text looks like a
function head (a parenthesis closes on it or before it, and it is not a
control statement, a class, a namespace or an initialiser) opens a body that
its matching '}' closes. Strings, characters and comments are left out first.
Usage: code_shape.py SRC_DIR"""
import pathlib
import re
import sys

MAX_FILE, MAX_FUNCTION = 600, 80


def code_only(text):
    """The text with comments, strings and character literals blanked."""
    out, i, n = [], 0, len(text)
    while i < n:
        c = text[i]
        if text.startswith('//', i):
            j = text.find('\n', i)
            i = n if j < 0 else j
        elif text.startswith('/*', i):
            j = text.find('*/', i + 2)
            out.append(re.sub(r'[^\n]', ' ', text[i:j + 2]))
            i = n if j < 0 else j + 2
        elif c in '"\'':
            j = i + 1
            while j < n and text[j] != c:
                j += 2 if text[j] == '\\' else 1
            out.append(c + ' ' * (j - i - 1) + c)
            i = j + 1
        else:
            out.append(c)
            i += 1
    return ''.join(out)


HEAD = re.compile(r'\)\s*(const|noexcept|override|final|mutable|->[^{]*|\s)*\{\s*$')
NOT_A_FUNCTION = re.compile(r'^\s*(if|else|for|while|switch|do|catch|namespace|struct|class|'
                            r'union|enum)\b|=\s*\{\s*$')


def long_functions(path):
    lines = code_only(path.read_text()).split('\n')
    found, stack = [], []
    for number, line in enumerate(lines, 1):
        for k, c in enumerate(line):
            if c == '{':
                head = line[:k + 1]
                is_function = bool(HEAD.search(head)) and not NOT_A_FUNCTION.search(head)
                stack.append((number, is_function))
            elif c == '}' and stack:
                start, is_function = stack.pop()
                if is_function and number - start - 1 > MAX_FUNCTION:
                    found.append((start, number - start - 1, lines[start - 1].strip()))
    return found


def main():
    bad = []
    for path in sorted(pathlib.Path(sys.argv[1]).rglob('*')):
        if path.suffix not in ('.cpp', '.hpp'):
            continue
        length = len(path.read_text().split('\n')) - 1
        if length > MAX_FILE:
            bad.append(f'{path}: {length} lines (at most {MAX_FILE})')
        for start, body, head in long_functions(path):
            bad.append(f'{path}:{start}: a body of {body} lines (at most {MAX_FUNCTION}): {head}')
    print('\n'.join(bad) if bad else 'every file and function within its length')
    return 1 if bad else 0


if __name__ == '__main__':
    sys.exit(main())
