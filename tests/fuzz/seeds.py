#!/usr/bin/env python3
"""Writes a fuzz target's seed corpus from the tests' own data.

Usage: seeds.py TARGET OUTDIR

The unit tests' rows (tests/web/tst_*.cpp) and the URL test data give the byte
strings the targets start from; each seed is a file named by its SHA-1, as libFuzzer
names what it finds, so that seeds and findings can share a folder.
"""
import hashlib
import json
import os
import re
import sys

HERE = os.path.dirname(os.path.abspath(__file__))
WEB_TESTS = os.path.join(HERE, '..', 'web')
VIEW_TESTS = os.path.join(HERE, '..', 'pageview')
SIMPLE_ESCAPES = {'n': 10, 'r': 13, 't': 9, 'a': 7, 'b': 8, 'f': 12, 'v': 11, 'e': 27,
                  '\\': 92, '"': 34, "'": 39, '?': 63}


def unescape(body):
    """The bytes of a C++ string literal's body (the source is UTF-8)."""
    out = bytearray()
    i = 0
    while i < len(body):
        c = body[i]
        if c != '\\':
            out += c.encode()
            i += 1
            continue
        e = body[i + 1]
        if e == 'x':
            digits = re.match(r'[0-9a-fA-F]+', body[i + 2:]).group()
            out.append(int(digits, 16) & 0xFF)
            i += 2 + len(digits)
        elif e in '01234567':
            digits = re.match(r'[0-7]{1,3}', body[i + 1:]).group()
            out.append(int(digits, 8) & 0xFF)
            i += 1 + len(digits)
        elif e in 'uU':
            width = 4 if e == 'u' else 8
            out += chr(int(body[i + 2:i + 2 + width], 16)).encode('utf-8', 'surrogatepass')
            i += 2 + width
        else:
            out.append(SIMPLE_ESCAPES.get(e, ord(e)))
            i += 2
    return bytes(out)


TOKEN = re.compile(r'R"\((.*?)\)"|"((?:[^"\\]|\\.)*)"|(<<)|(fromHex)|([()])|;', re.S)


def rows(source):
    """Each QTest::newRow statement's operands after the name, as bytes: the string
    literals (and fromHex arguments) of each operand, joined."""
    for start in re.finditer(r'QTest::newRow\(', source):
        operands, current, depth, hex_next = [], bytearray(), 0, False
        for token in TOKEN.finditer(source, start.end()):
            raw, plain, shift, from_hex, paren = token.groups()
            if token.group() == ';' and depth <= 0:
                break
            if paren:
                depth += 1 if paren == '(' else -1
            elif from_hex:
                hex_next = True
            elif shift and depth <= 0:
                operands.append(bytes(current))
                current, hex_next = bytearray(), False
            elif raw is not None or plain is not None:
                value = raw.encode() if raw is not None else unescape(plain)
                current += bytes.fromhex(value.decode()) if hex_next else value
                hex_next = False
        operands.append(bytes(current))
        yield operands[1:]  # the first is the row's name


def test_rows(name, folder=WEB_TESTS):
    with open(os.path.join(folder, name), encoding='utf-8') as f:
        return list(rows(f.read()))


def url_entries():
    with open(os.path.join(WEB_TESTS, 'data', 'urltestdata.json'), encoding='utf-8') as f:
        for entry in json.load(f):
            if isinstance(entry, dict):
                text = entry['input'].encode('utf-8', 'surrogatepass')
                base = entry.get('base')
                yield text if base is None else text + b'\xff' + base.encode('utf-8', 'surrogatepass')


def seeds(target):
    if target == 'documentdecoder':
        for row in test_rows('tst_encoding.cpp'):
            if len(row) >= 2:
                yield row[1] + b'\n' + row[0]
    elif target == 'decoders':
        for name in ('tst_encoding.cpp', 'tst_decoders.cpp'):
            for row in test_rows(name):
                yield from (operand for operand in row if operand)
    elif target == 'mimetype':
        for row in test_rows('tst_mimetype.cpp'):
            yield from (operand for operand in row if operand)
        yield b'text/html;charset=gbk\ntext/html;x=y'
    elif target in ('url', 'address'):
        yield from url_entries()
        for row in test_rows('tst_address.cpp'):
            if row and row[0]:
                yield row[0]
                if len(row) > 1 and row[1]:
                    yield row[0] + b'\xff' + row[1]
    elif target == 'markuptokenizer':
        # The first byte picks where to cut the text in two.
        for name in ('tst_markuptokenizer.cpp', 'tst_markuplinks.cpp'):
            for row in test_rows(name, VIEW_TESTS):
                text = b''.join(row)
                if text:
                    yield b'\x40' + text
                    yield b'\xa0' + text
    elif target == 'htmltokenizer':
        # The first byte picks the length of the pieces read from checkpoints.
        for row in test_rows('tst_htmltokenizer.cpp'):
            text = b''.join(row)
            if text:
                yield b'\x00' + text
                yield b'\x06' + text
    elif target == 'linewrapping':
        # Two bytes for the width in cells, then the document.
        for row in test_rows('tst_linewrapping.cpp', VIEW_TESTS):
            text = b''.join(row)
            if text:
                yield b'\x0a\x00' + text
                yield b'\x27\x00' + text + b'\r\n' + text
    elif target == 'csstokenizer':
        # The first byte: a stylesheet or a style attribute, and the checkpoint to resume from.
        for row in test_rows('tst_csstokenizer.cpp'):
            if row and row[0]:
                yield b'\x00' + row[0]
                yield b'\x15' + row[0]
                yield b'\x02' + row[0].decode('utf-8', 'surrogatepass').encode('utf-16-le', 'surrogatepass')
    else:
        sys.exit('unknown fuzz target: ' + target)


def main():
    target, outdir = sys.argv[1], sys.argv[2]
    os.makedirs(outdir, exist_ok=True)
    count = 0
    for seed in seeds(target):
        with open(os.path.join(outdir, hashlib.sha1(seed).hexdigest()), 'wb') as f:
            f.write(seed)
        count += 1
    if count == 0:
        sys.exit('no seeds for ' + target)


if __name__ == '__main__':
    main()
