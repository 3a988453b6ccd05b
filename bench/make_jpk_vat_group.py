#!/usr/bin/env python3
"""Writes a file group of realistic JPK_VAT(2) files for benchmarks.

usage: make_jpk_vat_group.py OUTPUT_FOLDER GROUP_NAME FILES RECORDS_PER_FILE

Files are named GROUP_NAME + "_NN.xml" (GROUP_NAME should be 15 characters,
e.g. JPK_VAT_2017_05, so that the names form one group). Even-numbered files
use the prefixed form (tns:, etd:), odd-numbered ones a default namespace
for tns. The files are valid against the JPK_VAT(2) schema.
Each file holds a header, the subject (one taxpayer for the group), a sales list and a purchase list
(about 60 % sales), each closed by its control section; UTF-8 with Polish
letters and escaped characters, CR LF line ends. Output is deterministic.
"""

import os
import random
import sys

TNS = "http://jpk.mf.gov.pl/wzor/2016/10/26/10261/"
ETD = "http://crd.gov.pl/xml/schematy/dziedzinowe/mf/2016/01/25/eD/DefinicjeTypy/"

FIRMS = [
    "Przedsiębiorstwo Handlowe „Żółw” Sp. z o.o.",
    "Łódzkie Zakłady Włókiennicze S.A.",
    "Źródło Ćwiczeń Gęślą & Syn",
    "Hurtownia Śląska Mąka Sp.j.",
    "Müller GmbH",
    "Škoda Auto a.s.",
    "Société Générale S.A.",
    "Biuro Rachunkowe Ewa Kowalska",
    "Sklep Spożywczy „Pod Dębem”",
    "Usługi Transportowe Jan Nowak",
]
STREETS = ["ul. Łąkowa", "ul. Żeromskiego", "al. Niepodległości", "ul. Świętokrzyska", "ul. Górna"]
TOWNS = [("00-950", "Warszawa"), ("90-001", "Łódź"), ("31-000", "Kraków"), ("80-001", "Gdańsk"),
         ("50-001", "Wrocław"), ("15-001", "Białystok")]


def esc(text):
    return text.replace("&", "&amp;").replace("<", "&lt;").replace(">", "&gt;")


# The taxpayer of every file of the group (the examples' Podmiot1.JPK).
TAXPAYER_NIP = "5252614371"
NIP_WEIGHTS = (6, 5, 7, 2, 3, 4, 5, 6, 7)


def nip(rng):
    """A counterparty's NIP with a right check digit."""
    while True:
        digits = [rng.randint(0, 9) for _ in range(9)]
        check = sum(w * d for w, d in zip(NIP_WEIGHTS, digits)) % 11
        if check != 10:
            return "".join(map(str, digits)) + str(check)


def amount(rng, low, high):
    return "%.2f" % (rng.randint(low * 100, high * 100) / 100)


def address(rng):
    code, town = rng.choice(TOWNS)
    return "%s %d/%d, %s %s" % (rng.choice(STREETS), rng.randint(1, 200), rng.randint(1, 40), code, town)


def write_file(path, prefixed, records, seed):
    rng = random.Random(seed)
    t = "tns:" if prefixed else ""
    e = "etd:"  # the etd namespace has its prefix in both forms
    out = []
    add = out.append

    def el(level, name, value, attrs=""):
        add("  " * level + "<%s%s%s>%s</%s%s>" % (name[0], name[1], attrs, value, name[0], name[1]))

    add('<?xml version="1.0" encoding="UTF-8"?>')
    if prefixed:
        add('<tns:JPK xmlns:etd="%s" xmlns:tns="%s">' % (ETD, TNS))
    else:
        add('<JPK xmlns:etd="%s" xmlns="%s">' % (ETD, TNS))
    add("  <%sNaglowek>" % t)
    el(2, (t, "KodFormularza"), "JPK_VAT", ' kodSystemowy="JPK_VAT (2)" wersjaSchemy="1-0"')
    el(2, (t, "WariantFormularza"), "2")
    el(2, (t, "CelZlozenia"), "1")
    el(2, (t, "DataWytworzeniaJPK"), "2017-06-10T09:30:47")
    el(2, (t, "DataOd"), "2017-05-01")
    el(2, (t, "DataDo"), "2017-05-31")
    el(2, (t, "DomyslnyKodWaluty"), "PLN")
    el(2, (t, "KodUrzedu"), "1471")
    add("  </%sNaglowek>" % t)
    add("  <%sPodmiot1>" % t)
    add("    <%sIdentyfikatorPodmiotu>" % t)
    el(3, (e, "NIP"), TAXPAYER_NIP)
    el(3, (e, "PelnaNazwa"), esc(rng.choice(FIRMS)))
    el(3, (e, "REGON"), "123456785")
    add("    </%sIdentyfikatorPodmiotu>" % t)
    add("    <%sAdresPodmiotu>" % t)
    for name, value in (("KodKraju", "PL"), ("Wojewodztwo", "mazowieckie"), ("Powiat", "Warszawa"),
                        ("Gmina", "Śródmieście"), ("Ulica", "Świętokrzyska"), ("NrDomu", "12"),
                        ("Miejscowosc", "Warszawa"), ("KodPocztowy", "00-950"), ("Poczta", "Warszawa")):
        el(3, (t, name), value)
    add("    </%sAdresPodmiotu>" % t)
    add("  </%sPodmiot1>" % t)

    sales = (records * 3 + 4) // 5
    purchases = records - sales
    tax_due = 0
    for i in range(1, sales + 1):
        net = rng.randint(1000, 5000000)
        tax = net * 23 // 100
        tax_due += tax
        add('  <%sSprzedazWiersz typ="G">' % t)
        el(2, (t, "LpSprzedazy"), str(i))
        el(2, (t, "NrKontrahenta"), nip(rng) if rng.random() < 0.9 else "brak")
        el(2, (t, "NazwaKontrahenta"), esc(rng.choice(FIRMS)))
        el(2, (t, "AdresKontrahenta"), esc(address(rng)))
        el(2, (t, "DowodSprzedazy"), "FV/%d/05/2017" % i)
        el(2, (t, "DataWystawienia"), "2017-05-%02d" % rng.randint(1, 31))
        el(2, (t, "DataSprzedazy"), "2017-05-%02d" % rng.randint(1, 31))
        if rng.random() < 0.2:
            el(2, (t, "K_17"), amount(rng, 10, 2000))
            el(2, (t, "K_18"), amount(rng, 1, 160))
        el(2, (t, "K_19"), "%d.%02d" % divmod(net, 100))
        el(2, (t, "K_20"), "%d.%02d" % divmod(tax, 100))
        add("  </%sSprzedazWiersz>" % t)
    add("  <%sSprzedazCtrl>" % t)
    el(2, (t, "LiczbaWierszySprzedazy"), str(sales))
    el(2, (t, "PodatekNalezny"), "%d.%02d" % divmod(tax_due, 100))
    add("  </%sSprzedazCtrl>" % t)

    tax_paid = 0
    for i in range(1, purchases + 1):
        net = rng.randint(1000, 2000000)
        tax = net * 23 // 100
        tax_paid += tax
        add('  <%sZakupWiersz typ="G">' % t)
        el(2, (t, "LpZakupu"), str(i))
        el(2, (t, "NrDostawcy"), nip(rng))
        el(2, (t, "NazwaDostawcy"), esc(rng.choice(FIRMS)))
        el(2, (t, "AdresDostawcy"), esc(address(rng)))
        el(2, (t, "DowodZakupu"), "%d/%s/2017" % (rng.randint(1, 9999), rng.choice(["A", "B", "Ż"])))
        el(2, (t, "DataZakupu"), "2017-05-%02d" % rng.randint(1, 31))
        el(2, (t, "DataWplywu"), "2017-05-%02d" % rng.randint(1, 31))
        el(2, (t, "K_45"), "%d.%02d" % divmod(net, 100))
        el(2, (t, "K_46"), "%d.%02d" % divmod(tax, 100))
        add("  </%sZakupWiersz>" % t)
    add("  <%sZakupCtrl>" % t)
    el(2, (t, "LiczbaWierszyZakupow"), str(purchases))
    el(2, (t, "PodatekNaliczony"), "%d.%02d" % divmod(tax_paid, 100))
    add("  </%sZakupCtrl>" % t)
    add("</%sJPK>" % t)

    with open(path, "wb") as f:
        f.write(("\r\n".join(out) + "\r\n").encode("utf-8"))


def main(argv):
    if len(argv) != 5:
        sys.stderr.write(__doc__)
        return 2
    folder, group, files, records = argv[1], argv[2], int(argv[3]), int(argv[4])
    os.makedirs(folder, exist_ok=True)
    for n in range(1, files + 1):
        path = os.path.join(folder, "%s_%02d.xml" % (group, n))
        write_file(path, n % 2 == 0, records, seed=n)
        print(path)
    return 0


if __name__ == "__main__":
    sys.exit(main(sys.argv))
