#!/usr/bin/env python3
"""What a user could script instead of the transport, writing only: every
record element of each JPK file (lxml, streamed) as a row of text cells of a
sheet of its own (openpyxl, write-only mode), no totals, no layout.

    bench/script_write_only.py OUT.xlsx FILE.xml ...
"""
import os
import sys

from lxml import etree
from openpyxl import Workbook


def local(tag):
    return tag.rsplit('}', 1)[-1]


def main(out, files):
    book = Workbook(write_only=True)
    for path in files:
        sheet = book.create_sheet(title=os.path.splitext(os.path.basename(path))[0][-31:])
        for _, element in etree.iterparse(path, events=('end',)):
            name = local(element.tag)
            if name.endswith('Wiersz'):
                sheet.append([name] + [child.text for child in element])
                element.clear()
                parent = element.getparent()
                while parent is not None and element.getprevious() is not None:
                    del parent[0]
    book.save(out)


if __name__ == '__main__':
    if len(sys.argv) < 3:
        sys.exit(__doc__)
    main(sys.argv[1], sys.argv[2:])
