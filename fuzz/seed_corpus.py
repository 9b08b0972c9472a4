#!/usr/bin/env python3
"""Writes the starting inputs of the fuzz targets into fuzz/corpus/<name>/.

Each target's input layout is described at the top of its fuzz/<name>_fuzz.cpp;
the seeds below follow it. Inputs the fuzzers found later are merged in beside
these (make fuzz FUZZ_MERGE=1) and kept in the repository.
"""
import os
import struct

HERE = os.path.dirname(os.path.abspath(__file__))


def piece(b):
    b = b if isinstance(b, bytes) else b.encode("latin-1")
    return bytes([len(b)]) + b[:255]


def b(s):
    return s if isinstance(s, bytes) else s.encode("latin-1")


def packed(yyyymmdd):
    d = yyyymmdd
    return bytes(128 + int(d[i]) * 10 + int(d[i + 1]) for i in range(0, 8, 2))


def write(name, seeds):
    folder = os.path.join(HERE, "corpus", name)
    os.makedirs(folder, exist_ok=True)
    for i, data in enumerate(seeds):
        with open(os.path.join(folder, "seed-%02d" % i), "wb") as f:
            f.write(data)


INI = b"[Usuari]\r\nDatCaracter=/\r\nDatOrdre=DMA\r\n\r\n[Entorn]\r\n  Clau = valor  \r\nBuida=\r\n"
write("ini_file", [
    piece("Usuari") + piece("DatOrdre") + INI,
    piece("entorn") + piece("CLAU") + INI,
    piece("Res") + piece("X") + INI,
    piece("A") + piece("B") + b"[A]\nB=1\n[A]\nB=2",
    piece("A") + piece("B") + b"[A\r\nB=1\r",
    piece("") + piece("") + b"=\r\n[]\r\n=x",
    piece("S") + piece("K") + b"[S]\nK" + b"x" * 300 + b"=v\n",
    piece("S") + piece("K") + b"\x00[S]\x00K=\x00v\x1a",
])

LNG = b'TOTAL,TOTAL GL,TOTAL OC,TOTAL ES\r\nREBUT,RECIBO GL,ARREBUT,RECIBO\r\n"A, B","A, B gl","A, B oc","A, B es"\r\n'
write("language_files", [
    bytes([0]) + piece("REBUT") + LNG,
    bytes([1]) + piece("TOTAL") + LNG,
    bytes([2]) + piece("A, B") + LNG,
    bytes([3]) + piece("REBUT") + LNG,
    bytes([0]) + piece("MULTI") + b'MULTI\r\ngl\r\noc,""\r\nNEXT,gl,oc,es\r\n',
    bytes([0]) + piece("X") + b'"unterminated,gl,oc,es\r\n',
    bytes([0]) + piece("X") + b"X,a,b",
    bytes([0]) + piece("P\xb7GINA ") + b'"P\xb7GINA ","P\xb5XINA ","PAG\xd4INA ","P\xb5GINA "\r\n',
])

FORM = (b"' The test form\r\n2,3\r\n  ' panel 1: two fields\r\n"
        b'"1b,0d,4f00",2,2,3,1,12,80\r\n'
        b'2,3,"Nom: ",10,0,0,8,0,0,""\r\n'
        b'4,3,"Data, ara: ",10,0,2,1,1,1,""\r\n'
        b"'panel 2\r\n"
        b'"0d",1,0,15,20,19,60\r\n'
        b'2,3,"Confirmeu ",1,0,1,0,0,0,"|S,S\xa1|N,No"\r\n'
        b"' the lists\r\n1\r\n"
        b'506,0,5,20,20,58,0,"CODI_NOM",0\r\n')
write("form_file", [
    b"\x00" + FORM,
    b"\x01" + FORM,
    b"\x00" + FORM[:120],
    b"\x00" + b'1,1\r\n"0d",1,0,0,0,0,0\r\n\'note\r\n2,3,"A",1,0,0,0,0,""\r\n',
    b"\x00" + b"0,0\r\n0\r\n",
    b"\x00" + b"32767,32767\r\n",
    b"\x00" + b'1,1\r\n"0d",5,0,0,0,0,0\r\n2,3,"A",-4,0,0,0,0,""\r\n0\r\n',
    b"\x00" + b'1,2\r\n"0d",2,0,0,0,0,0\r\n2,3,"A",3,0,0,0,0,""\r\n2,3,"B",300,0,0,0,9,""\r\n2\r\n',
    b"\x00" + b"-1,-1\r\n",
    b"\x00" + b'1,1\r\n"0d",1,0,0,0,0,0\r\n2,3,"A",1,0,0,0,0,"|S,Si|N"\r\n1\r\n506,0,5,20,20,58,1,"H",1\r\n',
])


def dates(lang, style, parts, pd, other, unit, typed, settings=None):
    head = bytes([lang])
    if settings is None:
        head += b"\x00"
    else:
        head += b"\x01" + b(settings[0]) + b(settings[1])
    return head + struct.pack("<h", style) + piece(parts) + piece(pd) + piece(other) + piece(unit) + b(typed)


write("dates", [
    dates(0, 0, "dma", packed("20240115"), packed("20240301"), "D", "15/01/2024"),
    dates(1, 2, "dma", packed("20240229"), packed("15821004"), "M", "29/2/24"),
    dates(2, 1, "DMA", packed("15821015"), packed("15821004"), "d", "1-1-1"),
    dates(3, 3, "am", packed("00000000"), packed("99991231"), "A", "31.12.9999"),
    dates(0, 0, "dma", packed("20240115"), b"", "Y", "", ("-", "AMD")),
    dates(0, 0, "dma", b"\xff\xff\xff\xff", b"\x00", "", "00/00/0000", ("/", "MDA")),
    dates(0, 4, "", b"\x80", packed("20000101"), "S", "hoy"),
    dates(0, -1, "dmaDMA", packed("19000229"), packed("20000229"), "D", "29022000"),
    dates(1, 0, "d", b"    ", b"abcd", "D", "1234567890"),
    dates(0, 0, "dma", packed("20241301"), packed("20240132"), "M", "  7/ 3 ", ("\x00", "\x00\x00\x00")),
    dates(0, 0, "", b"", b"", "", "12.345.678"),
    dates(0, 32767, "ma", packed("20260315"), packed("20260316"), "W", "+"),
])


def masks(settings, value, mask, typed, extra=b""):
    return bytes([settings]) + extra + struct.pack("<d", value) + piece(mask) + b(typed)


write("edit_masks", [
    masks(0, 1234567, "ZZ,ZZZ,ZZ9", "1.234.567"),
    masks(1, -0.05, "ZZ9.99", "-0.05"),
    masks(0, 5, "ZZ9.99-", "5,00-"),
    masks(0, 123, "**,**9", "123"),
    masks(4, 1e300, "Z,ZZZ,ZZZ,ZZZ,ZZZ,ZZ9", "99999999999999999999"),
    masks(0, float("nan"), "ZZ,ZZZ,ZZ9", "abc"),
    masks(0, float("inf"), "-ZZ9.99", "--1"),
    masks(0, float("-inf"), "99", ""),
    masks(2, 3.5, "Z9", "3,5", b",,"),
    masks(8, 12.34, "ZZ9.99", "12,34", piece("PTA")),
    masks(8, 12.34, "ZZ9.99", "12,34", piece("")),
    masks(0, -1e-300, "." + "9" * 200, "." + "9" * 100),
    masks(0, 0, "", ""),
    masks(0, 2 ** 63, "9999999999999999999999", " 1 2 "),
])


def text_utils(choice, width, number, text, stack):
    return bytes([choice]) + struct.pack("<H", width % 65536) + struct.pack("<d", number) + piece(text) + b(stack)


def stack_item(t):
    return b(t) + struct.pack("<H", len(b(t)))


write("text_utils", [
    text_utils(0, 10, 42, "20240115", stack_item("ABC") + stack_item("DE")),
    text_utils(1, 300, -3.5, packed("20240115"), stack_item("X")),
    text_utils(0, 0, 0, "\x85\xa0\x82 \xb7\x90", b"\xff\xff"),
    text_utils(1, 1, 1e300, "", b"AB\x05\x00"),
    text_utils(32, 256, float("nan"), "     ", b"\x01"),
    text_utils(0, 255, -1, "123", b"\x00\x00\x00\x00"),
    text_utils(0, 12, 12345678, b"\x80\x81\xe3\xff", stack_item("") + b"\x10\x00"),
    text_utils(65, 5, 0.5, "AAAAA", stack_item("A" * 300)),
])


def spec(record_length, keys, page=1024, flags=0, count=0, acs=False):
    head = struct.pack("<HHHIH", record_length, page, sum(len(k) for k in keys) and len(keys), count, flags)
    head = head.ljust(16, b"\x00")
    segs = b""
    for key in keys:
        for i, (pos, length, fl) in enumerate(key):
            if i + 1 < len(key):
                fl |= 0x10
            segs += struct.pack("<HHH", pos, length, fl).ljust(16, b"\x00")
    out = head + segs
    if acs:
        out += b"\xac" + b"UPPER   " + bytes(range(256))
    return out


def dictionary(flags, read_key, s, length=None):
    return bytes([flags, read_key]) + struct.pack("<H", len(s) if length is None else length) + s


write("dictionary", [
    dictionary(0, 0, spec(20, [[(1, 4, 0)]])),
    dictionary(1, 1, spec(40, [[(1, 4, 1)], [(5, 10, 0x21)]], acs=True)),
    dictionary(2, 0, spec(8, [[(1, 2, 0), (3, 2, 0)]], flags=1)),
    dictionary(0, 2, spec(100, [[(1, 4, 0)], [(5, 4, 0x40)], [(9, 30, 0x1)]])),
    dictionary(0, 0, spec(0, [[(1, 4, 0)]])),
    dictionary(0, 0, spec(10, [[(8, 4, 0)]])),
    dictionary(0, 0, spec(65535, [[(1, 255, 0)]], page=4096)),
    dictionary(0, 0, spec(20, [[(1, 0, 0)]])),
    dictionary(0, 0, spec(20, []) ),
    dictionary(0, 0, spec(20, [[(1, 4, 0)]]), length=200),
    dictionary(0, 0, spec(20, [[(1, 4, 0x10)]])[:40]),
    dictionary(0, 0, b""),
    dictionary(3, 3, spec(30, [[(1, 4, 0x20)]]) + b"\xacSHORT"),
])


def seq(records, end=b"\x1a"):
    return b"".join(b"%d," % len(r) + r + b"\r\n" for r in records) + end


write("zelutil_load", [
    b"\x00" + seq([b"AAAA1234", b"AAAA5678", b"BBBB\r\n\x1a\x00"]),
    b"\x01" + seq([b"K001" + b"x" * 16, b"K002" + b"y" * 16]),
    b"\x01" + seq([b"K001" + b"x" * 16, b"K001" + b"y" * 16]),
    b"\x02" + seq([b"ABCD", b"ABCDEFGHIJ", b"WXYZ" + b"\x00" * 100]),
    b"\x02" + seq([b"ABC"]),
    b"\x00" + seq([b"SHORT"]),
    b"\x00" + b"8,AAAA1234",
    b"\x00" + b"8,AAAA1234\r\n9999999,",
    b"\x00" + b"12345678,x",
    b"\x00" + b",\r\n",
    b"\x00" + b"",
    b"\x00" + seq([], end=b""),
    b"\x01" + b"20," + b"z" * 20 + b"\n\r",
])

PRINT = [b"DEVICE", b"PAGE 66 ", b"JUSE", b" 1 ,AB  , 0 ", b" 5 ,CD, 1 ", b"*@e", b"*q", b"JUSD", b" 3 ,AB  , 0 ",
         b" 7 ,X, 1 ", b"JUSN 2 \\ZZ9\\", b" 1 ,  12 , 0 ", b"JUSC", b" 1 ,AB    ,0 ", b"PAGE 3 ", b" 1 ,a, 1 ",
         b" 1 ,b, 1 ", b" 1 ,c, 1 ", b" 1 ,d, 2 "]
write("print_file", [
    b"\r\n".join(PRINT) + b"\r\n",
    b"\n".join(PRINT),
    b"DEVICE  C:\\INF\\r.pdf \r\nPAGE 66 \r\n 1 ,P1, 1 \r\nPAGE 66 \r\n 1 ,P2, 1 \r\n",
    b"PAGE-3 \r\n 1 ,X, 1 \r\nPAGE sixty\r\nPAGE\r\n",
    b"DEVICELPT1\r\nPAGE 255\r\n 255 ," + b"W" * 40 + b", 254 \r\n 1 ,Y, 99999999999 \r\n",
    b"DEVICE\r\nPAGE 66\r\n -5 ,neg, -1 \r\n 1 ,tab\there, 1 \r\n 1 ,\x00nul, 1 \r\n",
    b"DEVICE\r\nJUSN\r\nJUSN 2 \\ZZ9\r\nJUSX\r\nJUSN 999999 \\9\\\r\n 1 , 1, 1 \r\n",
    b"DEVICE\r\nPAGE 1\r\n" + b" 1 ,x, 1 \r\n" * 40,
    b"\x1a",
    b"",
    b"DEVICE\r\nPAGE 66\r\n 1 ,\xb7\x90\x85, 1 \r\n 1 ,\"quoted\", 1 \r\n 1 ,a,b,c, 1 \r\n",
])

GOOD_WIN = b"\x20\x00\x00\x00" + b"1234" + b"00000000" + b"02030203" + b"Z\x4e" + b"00027"
write("window_stack", [
    b"\x10" + GOOD_WIN,
    b"\x14" + GOOD_WIN,
    b"\x11" + GOOD_WIN,
    b"\x13" + GOOD_WIN,
    b"\x10" + b"\x20\x00\x00",
    b"\x10" + GOOD_WIN[:20],
    b"\x10" + b"\xff\xff\xff\xff" + GOOD_WIN[4:],
    b"\x10" + b"\x20\x00\x00\x00" + b"0" * 24 + b"99999",
    b"\x10" + GOOD_WIN.replace(b"02030203", b"03030203"),
    b"\x14" + b"\x00\x10\x00\x00junk",
    b"\x20" + b"\x40\x00\x00\x00" + b"1234" + b"00000000" + b"01010102" + b"AaBb" + b"00029"
    + b"5678" + b"00000000" + b"02020202" + b"Z\x4e" + b"00027"[:0],
    b"\x03" + b"\x20\x00\x00\x00" + b"9999" + b"00000000" + b"99999999" + b"Z\x4e" + b"00027",
    b"\x00",
])


def help_input(size, keys, contents):
    return bytes([(len(keys) << 4) | size]) + bytes(keys) + contents


def lines(n, width=80):
    return b"".join(("LINE %03d" % i).encode().ljust(width) for i in range(1, n + 1))


write("help_viewer", [
    help_input(0, [0, 0, 2, 5, 1, 3, 4], lines(100)),
    help_input(1, [2, 2, 2, 5], lines(40, 120)),
    help_input(2, [0, 1, 6, 7], lines(5, 40)),
    help_input(3, [2, 5, 4], lines(3, 20)),
    help_input(0, [5, 0, 0], lines(3) + b"partial"),
    help_input(0, [2], b""),
    help_input(0, [0, 0, 0], b"\x00\x1a\r\n\xff" * 50),
    help_input(1, [5, 2, 2, 1, 3, 3, 3, 4, 6], lines(30)),
])

write("input_decoder", [
    b"\x00" + b"abc\x1b[A\x1b[B\x1bOP\x1b[15~\x1b[1;5C",
    b"\x01" + b"\xe9\xe0\x1b\x1b[2~",
    b"\x02" + b"\x1b[200~pasted \xc3\xa9 text\x1b[201~x",
    b"\x04" + b"\x1b[<0;10;5M\x1b[<0;10;5m\x1b[M #!\x1b[M##!",
    b"\x06" + b"\xc3\xa9\xe2\x82\xac\xf0\x9f\x98\x80\xc3",
    b"\x00" + b"\x1b",
    b"\x00" + b"\x1b[" + b"1;" * 200 + b"A",
    b"\x08" + b"\x1b[200~never ends",
    b"\x02" + b"\x1ba\x1b\x7f\x1bOx\x1b[?1;2c\x1b[>0;1;2c",
    b"\x00" + b"\x1b[9999999999999999999;9999999999999999999R",
    b"\xff" + b"\x80\xbf\xfe\xff\xed\xa0\x80",
    b"\x00" + b"\x1b[1;2P\x1b[1;3Q\x1b[1;4R\x1b[1;8S\x1b[3;5~\x1b[5;2~\x1b[Z",
])


def calc_file(column=1, tape_top=23, entry="0", total="0", flags="-1,0,0,0", last='""', pending='""', tape=None):
    lines = ["%d,%d,%s,%s" % (column, tape_top, entry, total), flags, "%s,%s" % (last, pending)]
    tape = tape or []
    for i in range(22):
        lines.append(tape[i] if i < len(tape) else '0,0,0,""')
    return ("\r\n".join(lines) + "\r\n").encode("latin-1")


def calc(choice, keys, contents):
    return bytes([choice]) + piece(keys) + contents


write("calculator", [
    calc(0, b"12+3=", b""),
    calc(0, b"12.5*4=\xf8\xf9", calc_file()),
    calc(1, b"1/0=C", calc_file(column=55, tape_top=21, entry="3.25", total="10",
                                tape=['0,0,0,""'] * 20 + ['7,0,0,"+"', '3.25,-1,2,"+"'])),
    calc(2, b"99%R\x08T", calc_file(column=200, tape_top=-5)),
    calc(3, b"5", calc_file()),
    calc(0, b"\xfc\xfd", calc_file(entry="1e308", total="-1e308")),
    calc(0, b"9" * 40 + b"*" + b"9" * 40 + b"=", calc_file(flags="0,-1,-1,120")),
    calc(0, b"", calc_file()[:30]),
    calc(0, b"1+", b'1,23,nan,inf\r\n-1,-1,-1,-1\r\n"\r\n'),
    calc(0, b"+", b"\x00" * 40),
    calc(0, b"3=\xfe", calc_file(last='"+"', pending='"*"', tape=['1' + '0' * 300 + ',0,0,"+"'])),
])


def browse_entry(previous, record, text):
    t = b(text)
    return struct.pack("<iih", previous, record, len(t)) + t


def browse_chain(n):
    out, previous = b"", 0
    for i in range(1, n + 1):
        position = len(out) + 1
        out += browse_entry(previous, 1000 + i, "ITEM %02d" % i)
        previous = position
    return out


def browse(choice, box, keys, cache):
    return bytes([choice]) + bytes(box) + piece(bytes(keys)) + cache


BOX = [3, 10, 14, 50]
write("browse_cache", [
    browse(1, BOX, [2, 3, 0], browse_chain(14)),
    browse(0, BOX, [0, 0, 1, 2, 2, 3, 4, 5, 5], browse_chain(30)),
    browse(1, BOX, [], b""),
    browse(1, BOX, [0, 0], browse_chain(3) + browse_entry(25, 9, "ITEM 04")[:12]),
    browse(1, BOX, [2], browse_chain(3) + b"\xff\xff\xff\xff\x00\x00\x00\x00\xff\xff"),
    browse(1, BOX, [0, 1, 1], browse_entry(0, 1, "A") + browse_entry(500, 2, "B") + browse_entry(12, 3, "C")),
    browse(1, BOX, [0, 0, 1, 1], browse_entry(0, 1, "A") + browse_entry(12, 2, "B") + browse_entry(12, 3, "C")),
    browse(1, [1, 1, 25, 80], [5, 5, 5, 4], browse_entry(0, 1, "W" * 300)),
    browse(1, [20, 10, 26, 50], [0], browse_chain(3)),
    browse(1, [10, 10, 11, 11], [0, 2], browse_chain(3)),
    browse(0, BOX, [0] * 20, browse_entry(0, -1, "") * 5),
])
