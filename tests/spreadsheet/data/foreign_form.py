#!/usr/bin/env python3
"""Rewrites a workbook file as other programs write theirs.

foreign_form.py IN OUT [inline] [absolute] [deflate]
  inline    strings stored in their cells (t="inlineStr"), no shared-string part
  absolute  relationship targets given from the package root ("/xl/...")
  deflate   entries compressed (default: stored)
  long      with inline: the text "dlugi" made 40,000 characters long
"""
import re
import sys
import zipfile


def main():
    src, dst, *modes = sys.argv[1:]
    with zipfile.ZipFile(src) as z:
        parts = {n: z.read(n).decode("utf-8") for n in z.namelist()}

    if "inline" in modes:
        sst_name = next(n for n in parts if n.endswith("sharedStrings.xml"))
        strings = re.findall(r"<si>(.*?)</si>", parts.pop(sst_name), re.S)

        def inline(m):
            attrs, index = m.group(1), int(m.group(2))
            text = "".join(re.findall(r"<t(?:\s[^>]*)?>(.*?)</t>", strings[index], re.S))
            if "long" in modes and text == "dlugi":
                text = "x" * 40000
            attrs = attrs.replace(' t="s"', ' t="inlineStr"')
            return '<c%s><is><t xml:space="preserve">%s</t></is></c>' % (attrs, text)

        for name in list(parts):
            if "/worksheets/" in name and name.endswith(".xml"):
                parts[name] = re.sub(r'<c([^>]*\st="s"[^>]*)><v>(\d+)</v></c>', inline, parts[name])
        for name in list(parts):
            if name.endswith(".rels"):
                parts[name] = re.sub(r"<Relationship [^>]*sharedStrings[^>]*/>", "", parts[name])
        parts["[Content_Types].xml"] = re.sub(
            r"<Override [^>]*sharedStrings[^>]*/>", "", parts["[Content_Types].xml"])

    if "absolute" in modes:
        for name in list(parts):
            if not name.endswith(".rels"):
                continue
            base = name[: name.rfind("_rels/")]

            def absolute(m):
                target = m.group(1)
                if target.startswith("/") or "://" in target:
                    return m.group(0)
                path = []
                for piece in (base + target).split("/"):
                    if piece == "..":
                        path.pop()
                    elif piece and piece != ".":
                        path.append(piece)
                return 'Target="/%s"' % "/".join(path)

            parts[name] = re.sub(r'Target="([^"]*)"', absolute, parts[name])

    method = zipfile.ZIP_DEFLATED if "deflate" in modes else zipfile.ZIP_STORED
    with zipfile.ZipFile(dst, "w", method) as z:
        for name, text in parts.items():
            z.writestr(name, text.encode("utf-8"))


main()
