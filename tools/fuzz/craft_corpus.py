#!/usr/bin/env python3
"""Writes the crafted-file corpus that the test suite replays through the
telemetry reader (tests/data/corpus), one small file per fault, each named
after it. The files are committed; run this again only to change them:

    tools/fuzz/craft_corpus.py tests/data/corpus

The same files also seed the fuzz target (scripts/fuzz-telemetry).
"""

import os
import struct
import sys


def be16(value):
    return struct.pack(">H", value & 0xFFFF)


def be32(value):
    return struct.pack(">I", value & 0xFFFFFFFF)


def be64(value):
    return struct.pack(">Q", value & 0xFFFFFFFFFFFFFFFF)


def atom(kind, payload=b""):
    return be32(8 + len(payload)) + kind + payload


def wide_atom(kind, payload=b""):
    return be32(1) + kind + be64(16 + len(payload)) + payload


def full_atom(kind, payload, version=0):
    return atom(kind, bytes([version, 0, 0, 0]) + payload)


def mvhd(time_scale=1000, duration=3000):
    return full_atom(b"mvhd", be32(0) + be32(0) + be32(time_scale) + be32(duration) + bytes(80))


def stsd(fmt=b"tx3g"):
    return full_atom(b"stsd", be32(1) + atom(fmt, bytes(6) + be16(1) + bytes(30)))


def entry(valid=b"1", lon=b"139.7453", lat=b"35.6585", speed=b"42", a=(b"10", b"00", b"F0")):
    return b"/".join([b"x", valid, lon, lat, speed] + list(a))


def text(entries=41, first=None):
    items = [first or entry()] + [entry()] * (entries - 1)
    return b",".join(items)


FTYP = atom(b"ftyp", b"isom" + be32(0x200) + b"isomiso2mp41")


def movie(samples, sizes=None, count=None, constant=None, chunk_count=None, offsets=None,
          time_scale=1000, duration=3000, mvhd_atom=None, stsd_atom=None, extra_stbl=b"",
          filler=b""):
    """ftyp, mdat with the samples, moov with one text track."""
    data = b""
    real_offsets = []
    base = len(FTYP) + 8
    for sample in samples:
        real_offsets.append(base + len(data))
        data += sample + filler
    mdat = atom(b"mdat", data)
    offsets = real_offsets if offsets is None else offsets
    count = len(samples) if count is None else count
    if constant is not None:
        stsz = full_atom(b"stsz", be32(constant) + be32(count))
    else:
        sizes = [len(s) for s in samples] if sizes is None else sizes
        stsz = full_atom(b"stsz", be32(0) + be32(count) + b"".join(be32(s) for s in sizes))
    chunk_count = len(offsets) if chunk_count is None else chunk_count
    stco = full_atom(b"stco", be32(chunk_count) + b"".join(be32(o) for o in offsets))
    stbl = atom(b"stbl", (stsd_atom or stsd()) + stsz + stco + extra_stbl)
    trak = atom(b"trak", atom(b"mdia", atom(b"minf", stbl)))
    moov = atom(b"moov", (mvhd_atom or mvhd(time_scale, duration)) + trak)
    return FTYP + mdat + moov


def sample(body):
    return be16(len(body)) + body


GOOD = [sample(text()) for _ in range(3)]


def corpus():
    good = movie(GOOD)
    files = {}
    files["good-three-samples.mp4"] = good
    files["good-eleven-entries.mp4"] = movie([sample(text(11)) for _ in range(3)])
    files["empty-file.mp4"] = b""
    files["one-byte.mp4"] = b"\x00"
    files["header-only.mp4"] = FTYP[:8]
    files["zero-size-atom.mp4"] = FTYP + be32(0) + b"free" + good[len(FTYP):]
    files["atom-smaller-than-header.mp4"] = FTYP + be32(4) + b"moov" + good[len(FTYP):]
    files["wide-size-past-end.mp4"] = FTYP + be32(1) + b"moov" + be64(1 << 40) + mvhd()
    files["wide-size-high-bits.mp4"] = FTYP + be32(1) + b"free" + be64((1 << 32) + 16) + good[len(FTYP):]
    files["wide-size-below-header.mp4"] = FTYP + be32(1) + b"moov" + be64(12) + mvhd()
    files["size-past-end.mp4"] = FTYP + be32(0xFFFFFFF0) + b"moov" + mvhd()
    files["sample-count-ffffffff.mp4"] = movie(GOOD, count=0xFFFFFFFF)
    files["sample-count-ffffffff-constant.mp4"] = movie(GOOD, count=0xFFFFFFFF, constant=2048)
    files["sample-size-4gb.mp4"] = movie(GOOD, constant=0xFFFFFFFF)
    files["sample-sizes-4gb.mp4"] = movie(GOOD, sizes=[0xFFFFFFFF] * 3)
    files["chunk-count-ffffffff.mp4"] = movie(GOOD, chunk_count=0xFFFFFFFF)
    files["chunk-offset-past-end.mp4"] = movie(GOOD, offsets=[0xFFFFFFFF, 0xFFFFFFFE, 40])
    files["chunk-offset-at-last-byte.mp4"] = movie(GOOD, offsets=[len(good) - 1] * 3)
    files["chunk-offset-into-moov.mp4"] = movie(GOOD, offsets=[len(good) - 60] * 3)
    files["sample-count-zero.mp4"] = movie(GOOD, count=0, sizes=[])
    moov_at = good.index(b"moov") - 4
    trak_at = good.index(b"trak") - 4
    stbl_at = good.index(b"stbl") - 4
    files["child-overruns-parent.mp4"] = good[:stbl_at] + be32(len(good)) + good[stbl_at + 4:]
    files["trak-overruns-moov.mp4"] = good[:trak_at] + be32(len(good) - trak_at + 100) + good[trak_at + 4:]
    files["truncated-in-moov.mp4"] = good[:moov_at + 60]
    files["truncated-in-stco.mp4"] = good[:-6]
    files["truncated-before-moov.mp4"] = good[:moov_at]
    deep = mvhd()
    for _ in range(40):
        deep = atom(b"trak", deep)
    files["nesting-deeper-than-path.mp4"] = FTYP + atom(b"moov", deep)
    nested = stsd()
    for kind in (b"stbl", b"minf", b"mdia", b"trak", b"trak", b"moov", b"moov"):
        nested = atom(kind, nested)
    files["repeated-path-atoms.mp4"] = FTYP + nested
    files["stsd-shorter-than-format.mp4"] = movie(GOOD, stsd_atom=atom(b"stsd", bytes(8)))
    files["stsd-entry-count-huge.mp4"] = movie(GOOD, stsd_atom=full_atom(b"stsd", be32(0xFFFFFFFF) + be32(0xFFFFFFFF) + b"tx3g"))
    files["mvhd-short.mp4"] = FTYP + atom(b"moov", atom(b"mvhd", bytes(10)))
    files["mvhd-time-scale-zero.mp4"] = movie(GOOD, time_scale=0)
    files["mvhd-version1-huge-duration.mp4"] = movie(GOOD, mvhd_atom=full_atom(
        b"mvhd", be64(0) + be64(0) + be32(1) + be64(0xFFFFFFFFFFFFFFFF) + bytes(80), version=1))
    files["mvhd-duration-max.mp4"] = movie(GOOD, time_scale=1, duration=0xFFFFFFFF)
    tail_at = len(good)
    files["text-without-terminator-at-eof.mp4"] = movie(GOOD, offsets=[tail_at] * 3) + be16(0) + text()
    files["text-longer-than-buffer.mp4"] = movie([sample(b",".join([entry()] * 200))])
    files["text-all-commas.mp4"] = movie([sample(b"," * 40), sample(b"," * 10)])
    files["first-sample-thousand-entries.mp4"] = movie([sample(b",".join([entry()] * 1000))] + GOOD)
    files["first-sample-two-entries.mp4"] = movie([sample(b"a,b")] + GOOD)
    files["fields-not-numbers.mp4"] = movie([sample(text(41, entry(b"1", b"nan", b"inf", b"1e999", (b"FFFFFFFFFFFF", b"-7FFFFFFF", b"0x"))))])
    files["fields-empty.mp4"] = movie([sample(text(41, b"///////"))])
    files["no-valid-fix.mp4"] = movie([sample(b",".join([entry(b"0")] * 41))] * 3)
    files["many-tiny-atoms.mp4"] = FTYP + atom(b"free") * 5000 + good[len(FTYP):]
    files["many-chunks-one-sample.mp4"] = movie(GOOD[:1], constant=len(GOOD[0]), count=1, offsets=[len(FTYP) + 8] * 5000)
    files["quicktime-text-track.mp4"] = movie(GOOD, stsd_atom=stsd(b"text"))
    return files


def main():
    if len(sys.argv) != 2:
        sys.exit(__doc__)
    folder = sys.argv[1]
    os.makedirs(folder, exist_ok=True)
    for name, data in sorted(corpus().items()):
        with open(os.path.join(folder, name), "wb") as handle:
            handle.write(data)
    print("wrote %d files to %s" % (len(corpus()), folder))


if __name__ == "__main__":
    main()
