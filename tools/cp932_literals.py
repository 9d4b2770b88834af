#!/usr/bin/env python3
"""Writes a C++ source whose string literals hold Japanese text as the same
source with that text as octal escapes of its Shift-JIS (CP932) bytes, for
compilers that cannot be told to encode literals in CP932 themselves (GCC's
-fexec-charset does it). Comments and everything else stay as they are.

usage: cp932_literals.py SOURCE OUTPUT
"""
import os
import sys


def escape(text):
    return ''.join(ch if ord(ch) < 128 else ''.join('\\%03o' % b for b in ch.encode('cp932')) for ch in text)


def convert(src):
    out, i, n = [], 0, len(src)
    while i < n:
        c = src[i]
        if src.startswith('//', i):
            j = src.find('\n', i)
            j = n if j < 0 else j
            out.append(src[i:j])
            i = j
        elif src.startswith('/*', i):
            j = src.find('*/', i + 2)
            j = n if j < 0 else j + 2
            out.append(src[i:j])
            i = j
        elif c in '"\'':
            j = i + 1
            while j < n and src[j] != c:
                j += 2 if src[j] == '\\' else 1
            out.append(c + escape(src[i + 1:j]) + c)
            i = j + 1
        else:
            out.append(c)
            i += 1
    return ''.join(out)


def main():
    source, output = sys.argv[1], sys.argv[2]
    with open(source, encoding='utf-8') as f:
        text = convert(f.read())
    os.makedirs(os.path.dirname(os.path.abspath(output)), exist_ok=True)
    with open(output, 'w', encoding='utf-8') as f:
        f.write(text)


if __name__ == '__main__':
    main()
