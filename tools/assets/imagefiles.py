"""Writers for the three picture formats the program loads: PNG, GIF and ICO.

Only the standard library is used, so the pictures can be regenerated on any machine that
has Python 3.
"""

import struct
import zlib


# ---------------------------------------------------------------- PNG

def _chunk(kind, data):
    body = kind + data
    return struct.pack(">I", len(data)) + body + struct.pack(">I", zlib.crc32(body) & 0xFFFFFFFF)


def png_rgba(width, height, rows):
    """An 8-bit-per-channel RGBA PNG (colour type 6) from straight-alpha rows."""
    raw = b"".join(b"\0" + row for row in rows)
    return (b"\x89PNG\r\n\x1a\n"
            + _chunk(b"IHDR", struct.pack(">IIBBBBB", width, height, 8, 6, 0, 0, 0))
            + _chunk(b"IDAT", zlib.compress(raw, 9))
            + _chunk(b"IEND", b""))


# ---------------------------------------------------------------- GIF

def lzw_encode(indices, min_code_size=8):
    """GIF-flavoured LZW: variable code width from min_code_size + 1 up to 12 bits, LSB first."""
    clear = 1 << min_code_size
    eoi = clear + 1
    out = bytearray()
    acc = 0
    nbits = 0

    def emit(code, size):
        nonlocal acc, nbits
        acc |= code << nbits
        nbits += size
        while nbits >= 8:
            out.append(acc & 0xFF)
            acc >>= 8
            nbits -= 8

    size = min_code_size + 1
    table = {}
    next_code = eoi + 1
    emit(clear, size)
    if not indices:
        emit(eoi, size)
        if nbits:
            out.append(acc & 0xFF)
        return bytes(out)

    prefix = indices[0]
    for k in indices[1:]:
        key = (prefix << 8) | k
        code = table.get(key)
        if code is not None:
            prefix = code
            continue
        emit(prefix, size)
        # The decoder learns each entry one code later than we do, so it widens its codes
        # only after the entry numbered 1 << size exists; widen at the same moment.
        table[key] = next_code
        if next_code == (1 << size) and size < 12:
            size += 1
        next_code += 1
        if next_code == 4096:
            emit(clear, size)
            table = {}
            size = min_code_size + 1
            next_code = eoi + 1
        prefix = k
    emit(prefix, size)
    # The decoder adds an entry for the last code too; its end code may need the wider width.
    if next_code == (1 << size) and size < 12:
        size += 1
    emit(eoi, size)
    if nbits:
        out.append(acc & 0xFF)
    return bytes(out)


def gif_indexed(width, height, indices, palette, transparent=None):
    """A single-image GIF89a with a full 256-entry global colour table (so 8 bits per pixel)."""
    if len(palette) > 256:
        raise ValueError("a GIF palette holds at most 256 colours")
    table = list(palette) + [(255, 255, 255)] * (256 - len(palette))
    head = b"GIF89a" + struct.pack("<HHBBB", width, height, 0xF7, 0, 0)
    head += b"".join(bytes(c) for c in table)
    if transparent is not None:
        head += b"\x21\xF9\x04" + struct.pack("<BHB", 0x01, 0, transparent) + b"\0"
    head += b"\x2C" + struct.pack("<HHHHB", 0, 0, width, height, 0)
    data = lzw_encode(indices, 8)
    blocks = bytearray([8])
    for i in range(0, len(data), 255):
        part = data[i:i + 255]
        blocks.append(len(part))
        blocks += part
    blocks.append(0)
    return head + bytes(blocks) + b"\x3B"


def median_cut(colours, limit):
    """Reduces a {colour: count} histogram to at most `limit` colours, deterministically."""
    boxes = [sorted(colours.items())]
    while len(boxes) < limit:
        best, best_score, best_axis = None, 0, 0
        for bi, box in enumerate(boxes):
            if len(box) < 2:
                continue
            for axis in range(3):
                lo = min(c[0][axis] for c in box)
                hi = max(c[0][axis] for c in box)
                weight = sum(c[1] for c in box)
                score = (hi - lo) * weight ** 0.5
                if score > best_score:
                    best, best_score, best_axis = bi, score, axis
        if best is None:
            break
        box = sorted(boxes[best], key=lambda c: (c[0][best_axis], c[0]))
        total = sum(c[1] for c in box)
        half, run, cut = total / 2.0, 0, 1
        for i, c in enumerate(box[:-1]):
            run += c[1]
            if run >= half:
                cut = i + 1
                break
        boxes[best:best + 1] = [box[:cut], box[cut:]]
    palette = []
    for box in boxes:
        weight = sum(c[1] for c in box)
        palette.append(tuple(int(round(sum(c[0][i] * c[1] for c in box) / weight))
                             for i in range(3)))
    return palette


def quantise(pixels, matte):
    """Indexed form of (r, g, b, alpha) pixels already flattened onto the matte colour.

    Fully transparent pixels take index 0, whose palette colour is the matte itself, so a
    loader that ignores GIF transparency still shows the matte there.
    Returns (indices, palette).
    """
    hist = {}
    for r, g, b, a in pixels:
        if a:
            hist[(r, g, b)] = hist.get((r, g, b), 0) + 1
    if len(hist) <= 255:
        colours = sorted(hist)
    else:
        colours = median_cut(hist, 255)
    palette = [tuple(matte)] + colours
    lookup = {c: i + 1 for i, c in enumerate(colours)}
    cache = {}
    indices = bytearray()
    for r, g, b, a in pixels:
        if not a:
            indices.append(0)
            continue
        c = (r, g, b)
        i = lookup.get(c)
        if i is None:
            i = cache.get(c)
            if i is None:
                i = 1 + min(range(len(colours)), key=lambda j: (colours[j][0] - r) ** 2
                            + (colours[j][1] - g) ** 2 + (colours[j][2] - b) ** 2)
                cache[c] = i
        indices.append(i)
    return bytes(indices), palette


# ---------------------------------------------------------------- ICO

def ico(images):
    """An icon file from a list of (size, straight-alpha RGBA rows). Entries up to 255 pixels are
    32-bit BMPs with an AND mask, which every icon loader reads; a 256-pixel entry is a PNG,
    as icon files carry it since Windows Vista (a BMP of that size would be a quarter of a
    megabyte)."""
    header = struct.pack("<HHH", 0, 1, len(images))
    offset = 6 + 16 * len(images)
    entries, bodies = b"", b""
    for size, rows in images:
        if size >= 256:
            body = png_rgba(size, size, rows)
        else:
            body = _bmp_entry(size, rows)
        dim = size if size < 256 else 0
        entries += struct.pack("<BBBBHHII", dim, dim, 0, 0, 1, 32, len(body), offset)
        bodies += body
        offset += len(body)
    return header + entries + bodies


def _bmp_entry(size, rows):
    xor = b"".join(_bgra(row) for row in reversed(rows))
    mask_stride = ((size + 31) // 32) * 4
    mask = bytearray()
    for row in reversed(rows):
        bits = bytearray(mask_stride)
        for x in range(size):
            if row[4 * x + 3] == 0:
                bits[x // 8] |= 0x80 >> (x % 8)
        mask += bits
    info = struct.pack("<IiiHHIIiiII", 40, size, size * 2, 1, 32, 0, len(xor) + len(mask),
                       0, 0, 0, 0)
    return info + xor + bytes(mask)


def _bgra(row):
    out = bytearray(row)
    out[0::4], out[2::4] = row[2::4], row[0::4]
    return bytes(out)
