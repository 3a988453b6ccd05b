#!/usr/bin/env python3
"""Rewrites a workbook file as other programs write theirs.

foreign_form.py IN OUT [shared] [inline] [absolute] [deflate] [long]
  shared    strings in a shared-string part (t="s"), as most programs write them
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

    if "shared" in modes and not any(n.endswith("sharedStrings.xml") for n in parts):
        table = []

        def shared(m):
            attrs, text = m.group(1), m.group(2)
            table.append(text)
            attrs = attrs.replace(' t="inlineStr"', ' t="s"')
            return '<c%s><v>%d</v></c>' % (attrs, len(table) - 1)

        for name in list(parts):
            if "/worksheets/" in name and name.endswith(".xml"):
                parts[name] = re.sub(r'<c([^>]*\st="inlineStr"[^>]*)><is><t(?:\s[^>]*)?>(.*?)</t></is></c>',
                                     shared, parts[name], flags=re.S)
        parts["xl/sharedStrings.xml"] = (
            '<?xml version="1.0" encoding="UTF-8" standalone="yes"?>\n'
            '<sst xmlns="http://schemas.openxmlformats.org/spreadsheetml/2006/main" count="%d" uniqueCount="%d">'
            % (len(table), len(table))
            + "".join('<si><t xml:space="preserve">%s</t></si>' % t for t in table) + "</sst>")
        rels = "xl/_rels/workbook.xml.rels"
        parts[rels] = parts[rels].replace(
            "</Relationships>",
            '<Relationship Id="rIdShared" Type="http://schemas.openxmlformats.org/officeDocument/2006/'
            'relationships/sharedStrings" Target="sharedStrings.xml"/></Relationships>')
        parts["[Content_Types].xml"] = parts["[Content_Types].xml"].replace(
            "</Types>",
            '<Override PartName="/xl/sharedStrings.xml" ContentType="application/'
            'vnd.openxmlformats-officedocument.spreadsheetml.sharedStrings+xml"/></Types>')

    if "inline" in modes and not any(n.endswith("sharedStrings.xml") for n in parts):
        if "long" in modes:
            for name in list(parts):
                if "/worksheets/" in name and name.endswith(".xml"):
                    parts[name] = re.sub(r'(<is><t(?:\s[^>]*)?>)dlugi(</t></is>)', r"\g<1>" + "x" * 40000 + r"\g<2>",
                                         parts[name])
    elif "inline" in modes:
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
