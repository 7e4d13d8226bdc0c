#!/usr/bin/env python3
"""Writes the seed inputs of the fuzz targets to fuzz/corpus/<target>/.

Run it again after changing a target's input layout; files it does not name
(inputs kept because they once crashed a target) are left alone.
"""
import gzip
import os
import struct
import zlib

HERE = os.path.dirname(os.path.abspath(__file__))


def write(target, name, data):
    folder = os.path.join(HERE, "corpus", target)
    os.makedirs(folder, exist_ok=True)
    with open(os.path.join(folder, name), "wb") as f:
        f.write(data)


# regex_fuzz: flags, pattern length, start position (4 is 0), pattern, text.
PATTERNS = [
    (0x09, rb'id="price">[^0-9]*([0-9.,]+)', b'id="price">$1,299.5'),
    (0x09, rb'<h1 id="name">(.*?)</h1>', b'<h1 id="name">Tea</h1>'),
    (0x01, rb'"p":"(.*?)"', b'{"p":"12.30"}'),
    (0x00, rb'(a|ab)(c|bcd)(d*)', b'abcd'),
    (0x02, rb'^\s*(\d+)$', b'x\n 42\n'),
    (0x00, rb'(\w+)\s\1', b'go go now'),
    (0x08, rb'[[:alpha:]]{2,4}\b', b'AbC de'),
    (0x00, rb'(?:x|y)+?z', b'xyxyz'),
    (0x10, rb'(\d+)', b'a12b345'),
    (0x20, b'a  # comment\n b', b'ab'),
    (0x00, rb'(?=ab)a(?!c)', b'ab'),
    (0x00, rb'(?<name>\d)\k<name>', b'1223'),
    (0x09, "价格：(.*?)元".encode("gbk"), "价格：99元".encode("gbk")),
    (0x04, rb'\G(\d)', b'123a'),
    (0x00, rb'[^\x00-\x1f]+', b'\x01ok\x02'),
    (0x00, rb'(a*)*b', b'aaaaaaaaac'),
]
for i, (flags, pattern, text) in enumerate(PATTERNS):
    write("regex_fuzz", "pattern%02d" % i, bytes([flags, len(pattern), 4]) + pattern + text)

# xml_fuzz: mode (0 text, 1 memory, 2 file, 3 sites file), then the bytes.
DOC = '<?xml version="1.0" encoding="%s"?><Sites><Version>1.0</Version>' \
      '<Site a="1"><Name>商店 &amp; &#x4E2D;</Name><![CDATA[<b>x</b>]]><!-- c --></Site></Sites>'
for mode, encoding, codec, bom in [
        (1, "utf-8", "utf-8", b""),
        (2, "utf-8", "utf-8", b"\xef\xbb\xbf"),
        (1, "gbk", "gbk", b""),
        (2, "gb2312", "gb2312", b""),
        (1, "gb18030", "gb18030", b""),
        (2, "big5", "big5", b""),
        (1, "utf-16", "utf-16-le", b"\xff\xfe"),
        (2, "utf-16", "utf-16-be", b"\xfe\xff"),
        (1, "iso-8859-1", "utf-8", b""),
]:
    text = DOC % encoding
    if codec in ("big5",):
        text = text.replace("商店", "商")
    data = bom + text.encode(codec, errors="replace")
    write("xml_fuzz", "doc-%s-%s%s" % (mode, encoding, "-bom" if bom else ""), bytes([mode]) + data)
write("xml_fuzz", "text-nested", b"\x00<a><b c='1'>t&lt;<c/></b><b>u</b></a>")
write("xml_fuzz", "text-broken", b"\x00<a><b>unclosed &bogus; <c d=\"")
write("xml_fuzz", "memory-no-decl-gbk", b"\x01<r>" + "价".encode("gbk") + b"</r>")
with open(os.path.join(HERE, "..", "data", "sites.example.xml"), "rb") as f:
    sites = f.read()
start = sites.index(b"<Site>")
end = sites.index(b"</Site>") + len(b"</Site>")
SITES = sites[:sites.index(b"<Sites>")] + b"<Sites><Version>1.0</Version><SiteList>" + \
    sites[start:end] + b"</SiteList></Sites>"
SITES = b'<?xml version="1.0" encoding="utf-8" ?>' + SITES[SITES.index(b"<Sites>"):]
write("xml_fuzz", "sites-example", b"\x03" + SITES)

# gzip_fuzz: reply bodies as shops send them, and broken ones.
BODY = ("<html><body><span id=\"price\">99.00</span>" + "商品" * 40 + "</body></html>").encode()
gz = gzip.compress(BODY, mtime=0)
write("gzip_fuzz", "gzip", gz)
write("gzip_fuzz", "gzip-truncated", gz[:len(gz) // 2])
write("gzip_fuzz", "gzip-bad-crc", gz[:-8] + b"\0\0\0\0" + gz[-4:])
write("gzip_fuzz", "gzip-two-members", gzip.compress(b"one", mtime=0) + gzip.compress(b"two", mtime=0))
# FEXTRA, FNAME and FCOMMENT before the data.
raw = zlib.compressobj(9, zlib.DEFLATED, -15)
deflated = raw.compress(BODY) + raw.flush()
header = b"\x1f\x8b\x08\x1c" + b"\0" * 4 + b"\x00\x03" + struct.pack("<H", 4) + b"ab\0\0" + b"name\0" + b"note\0"
write("gzip_fuzz", "gzip-header-fields", header + deflated + struct.pack("<II", zlib.crc32(BODY), len(BODY)))
write("gzip_fuzz", "zlib", zlib.compress(BODY))
write("gzip_fuzz", "zlib-stored", zlib.compress(BODY[:64], 0))
write("gzip_fuzz", "zlib-bomb", zlib.compress(b"\0" * 20000, 9))
write("gzip_fuzz", "raw-deflate", deflated)
write("gzip_fuzz", "empty-gzip", gzip.compress(b"", mtime=0))

# image_fuzz: small pictures of each kind the program reads.
def png(width, height, color_type, depth, rows, palette=None):
    def chunk(kind, payload):
        return struct.pack(">I", len(payload)) + kind + payload + \
            struct.pack(">I", zlib.crc32(kind + payload))
    data = b"\x89PNG\r\n\x1a\n" + chunk(b"IHDR", struct.pack(">IIBBBBB", width, height, depth, color_type, 0, 0, 0))
    if palette:
        data += chunk(b"PLTE", palette)
    data += chunk(b"IDAT", zlib.compress(b"".join(b"\0" + r for r in rows)))
    return data + chunk(b"IEND", b"")

write("image_fuzz", "rgb.png", png(2, 2, 2, 8, [b"\xff\0\0\0\xff\0", b"\0\0\xff\xff\xff\xff"]))
write("image_fuzz", "rgba.png", png(1, 2, 6, 8, [b"\x10\x20\x30\x80", b"\xff\xff\xff\0"]))
write("image_fuzz", "palette.png", png(4, 1, 3, 2, [b"\x1b"], b"\0\0\0\xff\xff\xff\xff\0\0\0\0\xff"))
write("image_fuzz", "gray16.png", png(2, 1, 0, 16, [b"\x12\x34\xff\xee"]))

def gif(frames):
    data = b"GIF89a" + struct.pack("<HH", 2, 2) + b"\x80\0\0" + b"\0\0\0\xff\xff\xff"
    data += b"\x21\xff\x0bNETSCAPE2.0\x03\x01\0\0\0"
    for pixels in frames:
        data += b"\x21\xf9\x04\x04\x0a\0\0\0"  # 0.1 s, kept
        data += b"\x2c" + struct.pack("<HHHH", 0, 0, 2, 2) + b"\0"
        # LZW, code size 2: clear, the four pixels as single codes, end. The
        # codes are 3 bits wide until the table holds 8 entries (after the
        # third pixel), 4 bits after.
        codes = [(4, 3)] + list(zip(pixels, [3, 3, 3, 4])) + [(5, 4)]
        bits, count, out = 0, 0, bytearray()
        for c, width in codes:
            bits |= c << count
            count += width
            while count >= 8:
                out.append(bits & 0xFF)
                bits >>= 8
                count -= 8
        if count:
            out.append(bits & 0xFF)
        data += b"\x02" + bytes([len(out)]) + bytes(out) + b"\0"
    return data + b"\x3b"

write("image_fuzz", "two-frames.gif", gif([[0, 1, 1, 0], [1, 0, 0, 1]]))
write("image_fuzz", "one-frame.gif", gif([[1, 1, 1, 1]]))
# An 8x8 grey baseline JPEG: one-symbol Huffman tables, so the single block
# is the bits "00" (DC difference 0, end of block) padded with ones.
def jpeg_segment(marker, payload):
    return b"\xff" + bytes([marker]) + struct.pack(">H", len(payload) + 2) + payload

ONE_CODE = bytes([1] + [0] * 15) + b"\0"
JPEG = b"\xff\xd8" + jpeg_segment(0xDB, b"\0" + b"\1" * 64) + \
    jpeg_segment(0xC0, b"\x08\0\x08\0\x08\x01\x01\x11\0") + \
    jpeg_segment(0xC4, b"\x00" + ONE_CODE) + jpeg_segment(0xC4, b"\x10" + ONE_CODE) + \
    jpeg_segment(0xDA, b"\x01\x01\0\0\x3f\0") + b"\x3f\xff\xd9"
write("image_fuzz", "gray.jpg", JPEG)

# page_fuzz: shop rules, a zero byte, then the product page.
RULES = SITES
PAGES = [
    ("utf8", '<html data-shop="pages"><h1 id="name">绿茶</h1><b id="sku">1001</b><i id="price">¥1,299.00</i>'
             '<i id="promo">999</i><i id="stock">有货</i><img id="main-image" src="/a.jpg">'),
    ("no-values", '<html data-shop="pages"><p>nothing here</p>'),
    ("out-of-stock", '<h1 id="name">x</h1><i id="stock">无货</i><i id="price">abc</i>'),
]
for name, page in PAGES:
    write("page_fuzz", "page-" + name, RULES + b"\0" + page.encode())
GBK_RULES = RULES.replace(b"<Encode>utf-8</Encode>", b"<Encode>gbk</Encode>").replace(
    b"<NoGoods></NoGoods>", "<NoGoods>+已下架</NoGoods>".encode())
write("page_fuzz", "page-gbk", GBK_RULES + b"\0" + '<h1 id="name">茶</h1><i id="price">12.5</i>已下架'.encode("gbk"))
write("page_fuzz", "page-empty-rules", b"<Sites></Sites>\0<html></html>")
