#!/bin/sh
# Regenerates the seed corpora under fuzz/corpus/<target>/ from examples/
# and from small hand-written cases like the tests'. Needs the fuzz build
# (scripts/run-fuzz.sh makes it) for the workbooks and cell scripts.
# Review the changes before committing them.
set -eu
cd "$(dirname "$0")/.."
BUILD_DIR=${ZBIR_FUZZ_BUILD_DIR:-build-fuzz}
cmake --build "$BUILD_DIR" --target zbir cell_script v7_seeds -j "$(nproc)" >/dev/null
corpus=fuzz/corpus
tmp=$(mktemp -d)
trap 'rm -rf "$tmp"' EXIT
mkdir -p "$corpus/codepage" "$corpus/scanner" "$corpus/subject" "$corpus/workbook_open" "$corpus/jpk_writer" \
  "$corpus/v7_layout" "$corpus/v7_writer"

seed() {  # seed TARGET NAME BYTES (printf format)
  printf "$3" > "$corpus/$1/$2"
}

# Code pages: letters in each code page, references, control bytes.
seed codepage utf8-letters 'Za\305\274\303\263\305\202\304\207 \304\204\304\206\304\230\305\201\305\203\303\223\305\232\305\273\305\271'
seed codepage cp852-letters 'Za\276\242\210\206 \244\217\250\235\343\340\227\275\215'
seed codepage mazovia-letters 'Za\247\242\222\215 \217\225\220\234\245\243\230\241\240'
seed codepage cp1250-letters 'Za\277\363\263\346 \245\306\312\243\321\323\214\257\217'
seed codepage references 'A &amp; B x &nbsp; y R&D &#243; &#xF3; &#8230; &quot;&lt;&gt;&brvbar;&sect;&deg;&hellip;&apos;'
seed codepage markup '<b> \351 \001\037\177 \200\201\203 \240\327'

# Scanner: the example files and the cases the tests know.
cp examples/jpk/*.XML "$corpus/scanner/"
seed scanner cp852-declared '<?xml version="1.0" encoding="latin2"?>\r\n<JPK><Naglowek><DataOd>2017-05-01</DataOd></Naglowek><SprzedazWiersz><NazwaKontrahenta>Za\276\242\210\206</NazwaKontrahenta><K_19>1</K_19></SprzedazWiersz></JPK>\r\n'
seed scanner windows-declared '<?xml version="1.0" encoding="windows-1250"?>\n<JPK><Podmiot1><PelnaNazwa>\243\363d\237</PelnaNazwa></Podmiot1></JPK>\n'
seed scanner mazovia-declared '<?xml version="1.0" encoding="Mazovia"?>\r<JPK><A>\217\225</A></JPK>\r'
seed scanner prefixes '<tns:JPK xmlns:tns="http://jpk.mf.gov.pl/wzor/2016/03/09/03091/" xmlns:etd="http://e/">\r\n<tns:SprzedazWiersz typ="G"><etd:NIP>1</etd:NIP><tns:K_19>-</tns:K_19><tns:PodatekNalezny/></tns:SprzedazWiersz>\r\n<tns:SprzedazCtrl><tns:PodatekNalezny>-</tns:PodatekNalezny></tns:SprzedazCtrl></tns:JPK>\r\n'
seed scanner cdata-comments '<?xml version="1.0"?><!-- eksport --><!DOCTYPE JPK [<!ENTITY x "y">]><?pi data?><JPK><A><![CDATA[<&>]]></A><B>a &amp; b &#243;</B><C/><D x="1" /></JPK>'
seed scanner nesting '<L1><L2><L3><L4><L5><L6><L7><L8><L9><L10><L11><L12><L13><L14><L15><L16><L17><L18><L19><L20><L21><L22><V>x</V></L22></L21></L20></L19></L18></L17></L16></L15></L14></L13></L12></L11></L10></L9></L8></L7></L6></L5></L4></L3></L2></L1>'
seed scanner mixed-content '<JPK><A>tekst<B>1</B>dalej</A><Faktura><P_1>2017-05-01</P_1></Faktura><FakturaCtrl><X>1</X></FakturaCtrl></JPK>'

# The whole transport chain starts from the scanner's seeds. (The seeds of
# schema_check and root_namespace, small V7M(2) and VAT(3) documents and
# hostile ones, are written by hand and kept as they are.)
mkdir -p "$corpus/transport"
cp "$corpus/scanner/"* "$corpus/transport/"

# Podmiot1.JPK: the example, line ends, UTF-8, odd lines.
cp examples/jpk/praca/Podmiot1.JPK "$corpus/subject/example"
seed subject cr-only 'KodUrzedu: 1471\rNIP: 5252614371\rWojewodztwo: \243\363dzkie\r'
seed subject utf8 '\357\273\277KodUrzedu: 1471\nPelnaNazwa: \305\201\303\263d\305\272 & <Syn>\nUlica: A: B\n'
seed subject odd-lines 'nip: 1\nNIP:2\nNrDomu: 1\nNrDomu: 2\n Powiat: x\nGmina: \nPoczta: \032ignored\n'

# Workbooks and cell scripts from a transport of the example group.
mkdir -p "$tmp/work"
cp examples/jpk/*.XML "$tmp/"
cp examples/jpk/praca/Podmiot1.JPK "$tmp/work/"
"$BUILD_DIR/zbir" -C "$tmp/work" transport JPK_VAT_2017_05 >/dev/null 2>&1
"$BUILD_DIR/zbir" -C "$tmp/work" transport JPK_VAT_2017_04 >/dev/null 2>&1
for book in "$tmp"/work/JPK_VAT_2017_0[45].XLS; do
  name=$(basename "$book" .XLS)
  cp "$book" "$corpus/workbook_open/$name.xlsx"
  # The same parts stored without compression, so that mutations reach the XML.
  python3 - "$book" "$corpus/workbook_open/$name-stored.xlsx" <<'PY'
import sys, zipfile
with zipfile.ZipFile(sys.argv[1]) as src, zipfile.ZipFile(sys.argv[2], "w", zipfile.ZIP_STORED) as dst:
    for info in src.infolist():
        dst.writestr(info.filename, src.read(info.filename))
PY
  "$BUILD_DIR/fuzz/cell_script" "$book" > "$corpus/jpk_writer/$name"
done
# V7: a group of two small files a form (v7_seeds: valid against their
# schemas) for the layout target, a few broken ones like the tests'; the
# group transported and printed as a cell script, with the lines of a
# Podmiot1.JPK ("P<TAB>line"), for the combined-file target.
"$BUILD_DIR/fuzz/v7_seeds" "$tmp/v7"
for dir in "$tmp"/v7/*/; do
  form=$(basename "$dir")
  group=$(basename "$dir"/*_A.XML _A.XML)
  cp "$dir/${group}_A.XML" "$corpus/v7_layout/$form-A.XML"
  cp "$dir/${group}_B.XML" "$corpus/v7_layout/$form-B.XML"
  mkdir -p "$dir/praca"
  "$BUILD_DIR/zbir" -C "$dir/praca" transport "$group" >/dev/null 2>&1
  {
    printf 'P\tKodUrzedu: 1471\nP\tNIP: %s\n' "$(sed -n 's/.*<[a-z]*:NIP>\([0-9]*\)<.*/\1/p' "$dir/${group}_A.XML" | head -1)"
    "$BUILD_DIR/fuzz/cell_script" "$dir/praca/$group.XLS"
  } > "$corpus/v7_writer/$form"
done
head -c 1500 "$corpus/v7_layout/V7M3-A.XML" > "$corpus/v7_layout/cut-short"
sed 's/tns://g; s/xmlns:tns=/xmlns=/' "$corpus/v7_layout/V7K2-A.XML" > "$corpus/v7_layout/default-namespace"
sed 's/encoding="UTF-8"/encoding="windows-1250"/' "$corpus/v7_layout/V7M2-B.XML" > "$corpus/v7_layout/declared-1250"

echo "seeds written under $corpus"
