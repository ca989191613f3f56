#!/usr/bin/env python3
"""Writes a page in a legacy encoding, declared by its <meta>, of about the size asked.

Usage: legacy_page.py OUT ENCODING BYTES, where ENCODING is shift_jis or gb18030.
"""
import sys

LINES = {
    # The web's Shift_JIS is Windows' code page 932.
    'shift_jis': ('cp932', '<div class="row" id="r{0}"><a href="/item/{0}">項目 {0}</a> と、ふつうの日本語の文章と漢字かな交じり文。</div>\n'),
    'gb18030': ('gb18030', '<div class="row" id="r{0}"><a href="/item/{0}">项目 {0}</a> 和普通的中文文字，简体汉字与标点。</div>\n'),
}


def main():
    out, encoding, size = sys.argv[1], sys.argv[2], int(sys.argv[3])
    codec, line = LINES[encoding]
    head = '<!DOCTYPE html>\n<html><head><meta charset="{}"></head><body>\n'.format(encoding).encode(codec)
    with open(out, 'wb') as f:
        f.write(head)
        written, i = len(head), 0
        chunk = []
        while written < size:
            data = line.format(i).encode(codec)
            chunk.append(data)
            written += len(data)
            i += 1
        f.write(b''.join(chunk)[:size - len(head)])


if __name__ == '__main__':
    main()
