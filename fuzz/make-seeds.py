#!/usr/bin/env python3
"""Writes the seed corpora of the fuzz targets into DIR/<target>/ (default
build-fuzz/seeds). The seeds are the shapes the tests use: information files,
JPEG streams with and without APP5 records, INI files, and the list files of
the tests' fixture folders (tests/fixtures/lists)."""
import os
import sys

# An 8x8 baseline JPEG (286 bytes).
JPEG = bytes.fromhex("ffd8ffe000104a46494600010100000100010000ffdb004300100b0c0e0c0a100e0d0e1211101318281a181616183123251d283a333d3c3933383740485c4e404457453738506d51575f626768673e4d71797064785c656763ffdb0043011112121815182f1a1a2f634238426363636363636363636363636363636363636363636363636363636363636363636363636363636363636363636363636363ffc00011080008000803012200021101031101ffc4001500010100000000000000000000000000000004ffc40014100100000000000000000000000000000000ffc40014010100000000000000000000000000000005ffc40014110100000000000000000000000000000000ffda000c03010002110311003f009802a29fffd9")


def app5(jpeg, payload):
    seg = b"\xff\xe5" + (len(payload) + 2).to_bytes(2, "big") + payload
    return jpeg[:2] + seg + jpeg[2:]


def sjis(text):
    return text.encode("cp932")


INFO = (
    "ProtocolSignature=VTR1\r\nChannelID=ch01\r\nChannelName=番組\r\nChannelNumber=12\r\n"
    "URL=http://127.0.0.1:8080/ch01/full.jpg\r\nThumbnailURL=http://127.0.0.1:8080/ch01/thumb.jpg\r\n"
    "ReloadTime=5\r\nCommentforChannel=テスト放送\r\nStatusFlag=0\r\n"
    "BroadCastStartTime=2002/10/05 12:00:00\r\nLast-Modified=2002/10/05 12:34:56\r\n"
)

SEEDS = {
    "fuzz_infofile": {
        "full": sjis(INFO),
        "lf": sjis(INFO.replace("\r\n", "\n")),
        "odd": sjis("  url =  http://x/a.jpg\nReloadTime=abc\nStatusFlag=1.5\nStatusFlag=1e10\n"
                    "ChannelID=../../x\nLast-Modified=\nProtocolSignature=a=b\n"),
    },
    "fuzz_picture": {
        "plain": JPEG,
        "record": app5(JPEG, sjis("VTR1,1,30,2002/10/05 12:34:56,休止中です")),
        "four": app5(JPEG, b"a,b,c,d"),
        "short": b"\xff\xd8\xff\xe0\x00\x10JFIF\xff\xd9",
        "scan": b"\xff\xd8\xff\xda\x00\x02\x00\xff\x00\xff\xd0\xff\xd9",
    },
    "fuzz_ini": {
        "settings": sjis(
            "[MainWindow]\r\nResizeX=200\r\nWidth=12000\r\nHeight=9000\r\nStyle=2\r\n"
            "[General]\r\nChachDirctory=/tmp/キャッシュ/\r\nPictureSaveDirctory=/tmp/保存/\r\n"
            "ImageResize=1\r\nProxy=proxy.example:8080\r\nTimeout=30\r\nProxyEnable=True\r\n"
            "ShowLimit=False\r\nChannelLimit=-1\r\n"),
        "utf8": b"\xef\xbb\xbf[general]\n; comment\ntimeout = \"45\"\n[General]\nWidth=1\n",
        "odd": b"[General\r\n=x\r\nShowLimit\r\n[ General ]\rTimeout=1e3\n",
    },
    "fuzz_cp932": {
        "text": sjis("ｶﾀｶﾅ 漢字 ～①髙 ﾃｽﾄ\r\n"),
        "utf8": b"utf-8\n\xe6\xbc\xa2\xe5\xad\x97 \xff\xfe",
        "eucjp": b"euc-jp\n\xb4\xc1\xbb\xfa\x8e\xb6",
        "cut": b"\x81",
        "bad": b"x-unknown\n\x82\xa0\xfd\xa0\x80",
        # A server may name any decoder the C library has.
        **{"cs-" + name.lower().replace("/", "_"): name.encode() + b"\n\x1b$B\x30\x21\x0e\xa1\xa2+AGE-\x00\xd8\x00\xdc\xff\xfe"
           for name in ["ISO-2022-JP-3", "ISO-2022-CN-EXT", "IBM930", "IBM1364", "UTF-7", "UTF-16", "UTF-32",
                        "GB18030", "BIG5-HKSCS", "TSCII", "EUC-TW", "UTF-8//IGNORE"]},
    },
    "fuzz_treelist": {},  # the viewer's fixture folders
    "fuzz_http": {
        "text": b"HTTP/1.1 200 OK\r\nContent-Type: text/plain; charset=ISO-8859-1\r\nContent-Length: 301\r\n\r\n\0\0"
                + sjis(INFO),
        "folded": b"HTTP/1.1 100 Continue\r\n\r\nHTTP/1.1 200 OK\r\nContent-Type: text/html;\r\n charset=\"EUC-JP\"\r\n"
                  b"\r\n\0\0\xb4\xc1",
        "proxy": b"HTTP/1.1 200 Connection established\r\n\r\nHTTP/1.0 404 Not Found\nContent-Type: text/plain\n\n"
                 b"\0\0\xef\xbb\xbf\xe6\xbc\xa2",
        "jis": b"HTTP/1.1 200 OK\r\nContent-Type: text/plain; charset=iso-2022-jp\r\n\r\n\0\0\x1b$B%F%9%H\x1b(B",
        "junk": b"ICY 200 OK\r\n\r\n\0\0\x82",
    },
    "fuzz_updater": {
        "deep": b"\0\0".join([b"", b".".join(b"g%d" % i for i in range(40)) + b",P,http://h/x.txt", b""]),
    },
}


FIXTURES = os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "tests", "fixtures", "lists")

# A downloaded list and an information file, after each updater fixture's
# ChannelList.txt.
UPDATER_LIST = sjis("jp.tokyo.ch01, VTR1, http://h/ch01.txt\r\njp.tokyo.ch02,VTR1,http://h/ch02.txt,extra\r\n"
                    "a.b.c.d.e,VTR2,http://h/e.txt\nplain,VTR1,http://h/p.txt\n\n  \n.,x,y\n..,,\n")


def fixture_inputs(program, names):
    """Each case's input files joined by two NUL bytes (a missing file is empty)."""
    folder = os.path.join(FIXTURES, program)
    for case in sorted(os.listdir(folder)):
        parts = []
        for name in names:
            path = os.path.join(folder, case, "in", name)
            parts.append(open(path, "rb").read() if os.path.exists(path) else b"")
        yield case, parts


def add_fixture_seeds():
    for case, parts in fixture_inputs("viewer", ["ChannelList.txt", "Favorite.txt", "MultiMonitor.txt"]):
        SEEDS["fuzz_treelist"][case] = b"\0\0".join(parts)
    for case, parts in fixture_inputs("updater", ["ChannelList.txt"]):
        SEEDS["fuzz_updater"][case] = b"\0\0".join(parts + [UPDATER_LIST, sjis(INFO)])


def main():
    add_fixture_seeds()
    out = sys.argv[1] if len(sys.argv) > 1 else os.path.join("build-fuzz", "seeds")
    for target, seeds in SEEDS.items():
        os.makedirs(os.path.join(out, target), exist_ok=True)
        for name, data in seeds.items():
            with open(os.path.join(out, target, name), "wb") as f:
                f.write(data)
    print(f"seeds written to {out}")


if __name__ == "__main__":
    main()
