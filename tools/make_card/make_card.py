#!/usr/bin/env python3
"""Writes a deterministic sample memory card of the KT-LV550N recorder.

Usage:
    make_card [--small] [--count N | --damaged] [--duration SECONDS] [--link]
              [--manifest FILE] [--quiet] OUTPUT_FOLDER

    OUTPUT_FOLDER     created when missing; files already there are replaced
    --small           320x180 front and 256x144 rear, a few seconds each
                      (for tests); without it 1920x1080 front with an AAC
                      tone and 1280x720 rear, as the recorder writes
    --count N         instead of the sample card, N recordings (front and
                      rear) cycling through the six type prefixes, made by
                      copying a few distinct recordings under new names
    --duration S      length of every recording in seconds (default: 60 s
                      for the main drive and 20 s for the others, 5 s and 3 s
                      with --small)
    --link            with --count, hard-link the copies instead of copying
    --damaged         instead of the sample card, recordings cut by a power
                      loss at chosen points (10 s each unless --duration
                      says otherwise), a healthy recording to take the
                      codec set-up from, and the uncut originals in Uncut/
    --manifest FILE   also write a JSON description of what was written
    --quiet           no progress lines

Every video frame shows its frame number as text ("F 000123" or
"R 000123") and as a 12-bit block code on a black band at the top: with
B = width / 16, bit i (0..11) of the frame number is a white B x B block at
x = B * i, y = 0 (black when the bit is 0). Keyframes come every 30 frames
(1 s at 30 fps), without B-frames. Each file carries a tx3g text track with
one sample per second: 41 comma-separated entries (11 for the 10 Hz G-sensor
variant) of the form x/VALID/LON/LAT/SPEED/A5/A6/A7, entry 0 taken at the
start of the second and the last entry at its end; the A fields are two-digit
hexadecimal readings in 1/16 g (41 entries: A5 = z, A6 = x, A7 = y; 11
entries: A5 = x, A6 = z, A7 = y).

The same arguments always give the same bytes. Needs ffmpeg with libx264,
the aac encoder and drawtext, and the DejaVu Sans font (fonts-dejavu-core).
"""

import argparse
import json
import math
import os
import shutil
import subprocess
import sys
import tempfile
from datetime import datetime, timedelta

FONT = "/usr/share/fonts/truetype/dejavu/DejaVuSans.ttf"
FPS = 30
TYPE_PREFIXES = ["NORM", "EVEN", "MANU", "PARK", "PNOR", "PEVE"]
TYPE_FOLDERS = {"NORM": "Normal", "EVEN": "Event", "MANU": "Manual",
                "PARK": "Parking", "PNOR": "Parking", "PEVE": "Parking"}


class Options:
    def __init__(self, args):
        self.small = args.small
        self.quiet = args.quiet
        if args.small:
            self.front_size, self.rear_size = (320, 180), (256, 144)
            self.front_rate, self.rear_rate = "300k", "200k"
            self.long_duration, self.short_duration = 5.0, 3.0
        else:
            self.front_size, self.rear_size = (1920, 1080), (1280, 720)
            self.front_rate, self.rear_rate = "4M", "2500k"
            self.long_duration, self.short_duration = 60.0, 20.0
        self.damaged_duration = 10.0
        if args.duration is not None:
            self.long_duration = self.short_duration = self.damaged_duration = args.duration


def log(options, text):
    if not options.quiet:
        print("make_card: " + text, flush=True)


def run_ffmpeg(arguments):
    command = ["ffmpeg", "-hide_banner", "-nostdin", "-loglevel", "error", "-y"] + arguments
    result = subprocess.run(command, stdout=subprocess.DEVNULL, stderr=subprocess.PIPE, text=True)
    if result.returncode != 0:
        sys.exit("make_card: ffmpeg failed: %s\n%s" % (" ".join(command), result.stderr))


# ---------------------------------------------------------------- video


def video_filter(width, height, camera):
    block = width // 16
    parts = ["drawbox=x=0:y=0:w=iw:h=%d:color=black:t=fill" % block]
    for bit in range(12):
        parts.append(
            "drawbox=x=%d:y=0:w=%d:h=%d:color=white:t=fill:enable='eq(mod(floor(n/%d),2),1)'"
            % (block * bit, block, block, 2 ** bit))
    font_size = max(12, height // 8)
    parts.append(
        "drawtext=fontfile=%s:text='%s %%{eif\\:n\\:d\\:6}':x=%d:y=%d:fontsize=%d"
        ":fontcolor=white:box=1:boxcolor=black:boxborderw=4"
        % (FONT, camera, block // 2, block + block // 2, font_size))
    if camera == "R":
        parts.insert(0, "hue=h=180")
    return ",\n".join(parts) + "\n"


def encode_camera(options, work, camera, duration):
    """Encodes the video (and for the front camera the tone) of one camera."""
    width, height = options.front_size if camera == "F" else options.rear_size
    rate = options.front_rate if camera == "F" else options.rear_rate
    script = os.path.join(work, "filter-%s.txt" % camera)
    with open(script, "w") as handle:
        handle.write(video_filter(width, height, camera))
    output = os.path.join(work, "%s-%g.mp4" % (camera, duration))
    arguments = ["-f", "lavfi", "-i", "testsrc2=size=%dx%d:rate=%d:duration=%g"
                 % (width, height, FPS, duration)]
    if camera == "F":
        arguments += ["-f", "lavfi", "-i",
                      "sine=frequency=1000:beep_factor=2:sample_rate=48000:duration=%g" % duration]
    arguments += ["-filter_script:v", script,
                  "-c:v", "libx264", "-preset", "veryfast", "-threads", "2",
                  # No VBV limits: with them x264's threaded output varies from run to run.
                  "-b:v", rate,
                  "-g", str(FPS), "-keyint_min", str(FPS), "-sc_threshold", "0", "-bf", "0",
                  "-pix_fmt", "yuv420p", "-flags:v", "+bitexact"]
    if camera == "F":
        arguments += ["-c:a", "aac", "-b:a", "96k", "-flags:a", "+bitexact"]
    arguments += ["-fflags", "+bitexact", "-map_metadata", "-1", "-t", "%g" % duration, output]
    run_ffmpeg(arguments)
    return output


# ------------------------------------------------------------ telemetry


class Lcg:
    """Small deterministic generator, the same on every Python."""

    def __init__(self, seed):
        self.state = (seed * 2654435761 + 12345) & 0xFFFFFFFF

    def next(self):
        self.state = (self.state * 1103515245 + 12345) & 0x7FFFFFFF
        return self.state / 0x7FFFFFFF

    def noise(self):
        value = self.next()
        return -1 if value < 0.1 else (1 if value > 0.9 else 0)


def speed_profile(kind, seconds):
    """Speed in km/h for each second: a drive with a stop, or parked."""
    if kind == "parked":
        return [0] * (seconds + 1)
    speeds = []
    stop_from, stop_to = int(seconds * 0.45), int(seconds * 0.45) + max(2, seconds // 10)
    for second in range(seconds + 1):
        if stop_from <= second < stop_to:
            speed = 0
        elif second < stop_from:
            speed = min(58, 8 * second) + 4 * math.sin(second / 3.0)
        else:
            speed = min(52, 9 * (second - stop_to)) + 3 * math.sin(second / 4.0)
        speeds.append(max(0, int(round(speed))))
    return speeds


def hex_reading(g):
    raw = int(round(g * 16))
    raw = max(-224, min(31, raw))
    return "%02X" % (raw & 0xFF)


class Telemetry:
    """The telemetry of one recording, one text line per second."""

    def __init__(self, seed, seconds, entries=41, kind="drive", impact_at=None):
        self.seed = seed
        self.seconds = seconds
        self.entries = entries
        self.kind = kind
        self.impact_at = impact_at
        self.speeds = speed_profile(kind, seconds)
        rng = Lcg(seed)
        # Start somewhere in the Kanto plain, heading north-east-ish.
        self.start = (35.60 + 0.2 * rng.next(), 139.60 + 0.3 * rng.next())
        self.heading = 0.5 + rng.next()
        self.invalid = set()
        if kind == "drive" and seconds >= 8:
            self.invalid |= {0, 1}
            self.invalid |= {seconds // 2 + seconds // 10 + 2}
        self.positions = [self.start]
        lat, lon = self.start
        for second in range(seconds):
            metres = (self.speeds[second] + self.speeds[second + 1]) / 2 / 3.6
            turn = self.heading + 0.3 * math.sin(second / 7.0)
            lat += metres * math.cos(turn) / 111000.0
            lon += metres * math.sin(turn) / (111000.0 * math.cos(math.radians(lat)))
            self.positions.append((lat, lon))
        self.rng = Lcg(seed + 7)

    def _state_at(self, t):
        second = min(int(t), self.seconds)
        frac = t - second if second < self.seconds else 0.0
        nxt = min(second + 1, self.seconds)
        lat = self.positions[second][0] * (1 - frac) + self.positions[nxt][0] * frac
        lon = self.positions[second][1] * (1 - frac) + self.positions[nxt][1] * frac
        speed = self.speeds[second] * (1 - frac) + self.speeds[nxt] * frac
        accel = (self.speeds[nxt] - self.speeds[second]) / 3.6 / 9.81
        return lat, lon, int(round(speed)), accel

    def _reading(self, t, accel):
        x = accel + self.rng.noise() / 16.0
        y = 0.15 * math.sin(t / 2.0) + self.rng.noise() / 16.0
        z = 1.0 + self.rng.noise() / 16.0
        if self.impact_at is not None and 0 <= t - self.impact_at < 0.3:
            # A hard knock saturates the sensor beyond 1 g.
            x, y, z = 1.5, -0.9, 0.4
        return x, y, z

    def line(self, second):
        readings = self.entries - 1
        valid = second not in self.invalid
        parts = []
        for index in range(self.entries):
            t = second + index / readings
            lat, lon, speed, accel = self._state_at(t)
            x, y, z = self._reading(t, accel)
            if self.entries == 41:
                a5, a6, a7 = z, x, y
            else:
                a5, a6, a7 = x, z, y
            if valid:
                position = "%.6f/%.6f/%d" % (lon, lat, speed)
            else:
                position = "0.000000/0.000000/0"
            parts.append("x/%d/%s/%s/%s/%s" % (1 if valid else 0, position,
                                               hex_reading(a5), hex_reading(a6), hex_reading(a7)))
        return ",".join(parts)


def srt_time(seconds):
    ms = int(round(seconds * 1000))
    return "%02d:%02d:%02d,%03d" % (ms // 3600000, ms // 60000 % 60, ms // 1000 % 60, ms % 1000)


def write_srt(path, telemetry, duration):
    with open(path, "w", newline="\n") as handle:
        cue = 0
        while cue < duration:
            end = min(cue + 1, duration)
            handle.write("%d\n%s --> %s\n%s\n\n" % (cue + 1, srt_time(cue), srt_time(end),
                                                   telemetry.line(cue)))
            cue += 1


# ------------------------------------------------------------- recordings


class Card:
    def __init__(self, options, root, work):
        self.options = options
        self.root = root
        self.work = work
        self.videos = {}
        self.recordings = []
        self.extras = []
        self.damaged = []
        self.pending = []

    def video(self, camera, duration):
        key = (camera, duration)
        if key not in self.videos:
            log(self.options, "encoding %s camera, %g s" % (camera, duration))
            self.videos[key] = encode_camera(self.options, self.work, camera, duration)
        return self.videos[key]

    def mux(self, camera, duration, telemetry, target):
        """Queues one camera file: the cached video plus its telemetry track."""
        os.makedirs(os.path.dirname(target), exist_ok=True)
        srt = os.path.join(self.work, "telemetry-%d.srt" % len(self.pending))
        write_srt(srt, telemetry, duration)
        self.pending.append((self.video(camera, duration), srt, target))

    def flush(self):
        """Muxes every queued file in one ffmpeg run: starting ffmpeg costs
        more than muxing a small file."""
        inputs = []
        outputs = []
        for video, srt, target in self.pending:
            if video not in inputs:
                inputs.append(video)
            inputs.append(srt)
            outputs += ["-map", "%d" % inputs.index(video), "-map", "%d" % (len(inputs) - 1),
                        "-c", "copy", "-c:s", "mov_text"]
            if target.upper().endswith(".MOV"):
                # ffmpeg's own QuickTime tag would be "text"; the recorder writes tx3g.
                outputs += ["-tag:s", "tx3g", "-f", "mov"]
            else:
                outputs += ["-f", "mp4"]
            outputs += ["-fflags", "+bitexact", "-map_metadata", "-1", target]
        self.pending = []
        if outputs:
            arguments = []
            for name in inputs:
                arguments += ["-i", name]
            run_ffmpeg(arguments + outputs)

    def recording(self, folder, name, duration, seed, cameras="FR", entries=41, kind="drive",
                  impact_at=None, suffix=".MP4", rear_duration=None, note="", listed=True):
        seconds = int(math.ceil(duration))
        telemetry = Telemetry(seed, seconds, entries, kind, impact_at)
        files = {}
        for camera in cameras:
            length = rear_duration if (camera == "R" and rear_duration) else duration
            if name[:4].isupper():
                relative = os.path.join(folder, name + camera + suffix)
            else:
                relative = os.path.join(folder, name + camera.lower() + suffix.lower())
            self.mux(camera, length, telemetry, os.path.join(self.root, relative))
            files[camera] = relative
        self.recordings.append({
            "name": name, "type": name[:4].upper(), "front": files.get("F"),
            "rear": files.get("R"), "duration": duration, "rearDuration": rear_duration or
            (duration if "R" in cameras else None), "entries": entries, "listed": listed,
            "note": note})
        return files

    def extra(self, relative, note, data=None, source=None, cut=None):
        target = os.path.join(self.root, relative)
        os.makedirs(os.path.dirname(target), exist_ok=True)
        if source is not None:
            with open(os.path.join(self.root, source), "rb") as handle:
                data = handle.read()
            if cut is not None:
                data = data[:cut(data)]
        with open(target, "wb") as handle:
            handle.write(data or b"")
        self.extras.append({"path": relative, "note": note})


def moov_offset(data):
    offset = 0
    while offset + 8 <= len(data):
        size = int.from_bytes(data[offset:offset + 4], "big")
        kind = data[offset + 4:offset + 8]
        if size == 1:
            size = int.from_bytes(data[offset + 8:offset + 16], "big")
        if kind == b"moov" or size < 8:
            return offset
        offset += size
    return len(data)


def atoms(data, start, end):
    """The atoms filling data[start:end]: (type, offset, header size, size)."""
    offset = start
    while offset + 8 <= end:
        size = int.from_bytes(data[offset:offset + 4], "big")
        kind = data[offset + 4:offset + 8]
        header = 8
        if size == 1:
            size = int.from_bytes(data[offset + 8:offset + 16], "big")
            header = 16
        elif size == 0:
            size = end - offset
        if size < header or offset + size > end:
            return
        yield kind, offset, header, size
        offset += size


def child(data, parent, kind, skip=0):
    _, offset, header, size = parent
    for found in atoms(data, offset + header + skip, offset + size):
        if found[0] == kind:
            return found
    return None


def sample_tables(data):
    """For each track its handler type and its samples as (offset, size), in
    file order."""
    moov = next((atom for atom in atoms(data, 0, len(data)) if atom[0] == b"moov"), None)
    tracks = []
    for trak in atoms(data, moov[1] + moov[2], moov[1] + moov[3]):
        if trak[0] != b"trak":
            continue
        mdia = child(data, trak, b"mdia")
        hdlr = child(data, mdia, b"hdlr")
        handler = data[hdlr[1] + hdlr[2] + 8:hdlr[1] + hdlr[2] + 12].decode("ascii")
        stbl = child(data, child(data, mdia, b"minf"), b"stbl")

        def payload(kind):
            atom = child(data, stbl, kind)
            return None if atom is None else atom[1] + atom[2]

        def u32(at):
            return int.from_bytes(data[at:at + 4], "big")

        stsz = payload(b"stsz")
        constant, count = u32(stsz + 4), u32(stsz + 8)
        sizes = [constant] * count if constant else [u32(stsz + 12 + 4 * i) for i in range(count)]
        stco, wide = payload(b"stco"), False
        if stco is None:
            stco, wide = payload(b"co64"), True
        chunks = [int.from_bytes(data[stco + 8 + i * (8 if wide else 4):][:8 if wide else 4], "big")
                  for i in range(u32(stco + 4))]
        stsc = payload(b"stsc")
        runs = [(u32(stsc + 8 + 12 * i), u32(stsc + 12 + 12 * i)) for i in range(u32(stsc + 4))]
        samples = []
        for index, chunk in enumerate(chunks):
            per_chunk = [per for first, per in runs if first <= index + 1][-1]
            for _ in range(per_chunk):
                if len(samples) == count:
                    break
                samples.append((chunk, sizes[len(samples)]))
                chunk += samples[-1][1]
        tracks.append((handler, samples))
    return tracks


def whole_before(tracks, cut):
    """Samples of each kind that lie wholly before the cut; for the text track
    the telemetry samples, not the empty one that ends the track."""
    kinds = {"vide": "video", "soun": "audio"}
    counts = {"video": 0, "audio": 0, "text": 0}
    for handler, samples in tracks:
        kind = kinds.get(handler, "text")
        counts[kind] += sum(1 for offset, size in samples
                            if offset + size <= cut and (kind != "text" or size > 2))
    return counts


def cut_in_sample(tracks, handler, fraction):
    """The middle of the sample of a track at a fraction of its length; the
    picture track stands in when the file has no track of that kind."""
    wanted = [samples for kind, samples in tracks if kind == handler]
    if not wanted:
        wanted = [samples for kind, samples in tracks if kind == "vide"]
    samples = wanted[0]
    offset, size = samples[min(len(samples) - 1, int(len(samples) * fraction))]
    return offset + size // 2


def write_damaged(card, relative, original, cut, kind, zero_size=False, reference=None):
    """Writes the first `cut` bytes of a recording as a damaged file, and the
    manifest's account of what a repair must recover from it."""
    with open(os.path.join(card.root, original), "rb") as handle:
        data = handle.read()
    tracks = sample_tables(data)
    damaged = bytearray(data[:cut])
    if zero_size:
        # The mdat header of a writer that never closed it.
        mdat = next(atom for atom in atoms(data, 0, len(data)) if atom[0] == b"mdat")
        damaged[mdat[1]:mdat[1] + 4] = (1 if mdat[2] == 16 else 0).to_bytes(4, "big")
        if mdat[2] == 16:
            damaged[mdat[1] + 8:mdat[1] + 16] = bytes(8)
    target = os.path.join(card.root, relative)
    os.makedirs(os.path.dirname(target), exist_ok=True)
    with open(target, "wb") as handle:
        handle.write(damaged)
    entry = {"path": relative, "original": original, "kind": kind, "cut": cut,
             "whole": whole_before(tracks, cut)}
    if reference:
        entry["reference"] = reference
    card.damaged.append(entry)


def write_sample_card(card):
    long_d = card.options.long_duration
    short_d = card.options.short_duration
    day = "260415"
    card.recording("Normal", "NORM%s-081502" % day, long_d, 1,
                   note="the main drive: route, a stop, fix lost for a few seconds")
    card.recording("Event", "EVEN%s-081630" % day, short_d, 2, impact_at=short_d / 2,
                   note="impact in the middle, readings beyond 1 g")
    card.recording("Normal", "NORM%s-082502" % day, short_d, 3)
    card.recording("Normal", "NORM%s-083502" % day, short_d, 4, cameras="F", note="front only")
    card.recording("Normal", "NORM%s-084502" % day, short_d, 5, cameras="R", note="rear only")
    card.recording("Normal", "NORM%s-085502" % day, short_d, 6, rear_duration=0.2,
                   note="rear file of 200 ms: listed and played with the front file only")
    card.recording("Normal", "NORM%s-091002" % day, short_d, 7, suffix=".MOV",
                   note="QuickTime files, listed with the front file only")
    card.recording("Event", "EVEN%s-100002" % day, short_d, 8, entries=11,
                   impact_at=short_d / 3, note="10 Hz G-sensor track (11 entries)")
    card.recording("Manual", "MANU%s-101002" % day, short_d, 9)
    card.recording("Manual", "manu%s-102002" % day, short_d, 10, note="lower-case names")
    card.recording("Parking", "PARK%s-200002" % day, short_d, 11, kind="parked")
    card.recording("Parking", "PNOR%s-201002" % day, short_d, 12, kind="parked")
    card.recording("Parking", "PEVE%s-202002" % day, short_d, 13, kind="parked",
                   impact_at=1.0, note="knock while parked")
    card.recording("Normal", "NORM260231-120000", short_d, 14,
                   note="day 31 of February: dated 2026-03-03 12:00:00")
    card.recording("Saved", "NORM%s-082502" % day, short_d, 15, listed=False,
                   note="same name as Normal/NORM%s-082502: the first met wins" % day)
    nested = os.path.join("Deep", "L2", "L3", "L4", "L5")
    card.recording(nested, "NORM%s-110002" % day, short_d, 16,
                   note="five folder levels below the card: found")
    card.recording(os.path.join(nested, "L6"), "NORM%s-111002" % day, short_d, 17,
                   listed=False, note="six folder levels below the card: not found")

    card.flush()
    source = "Normal/NORM%s-082502F.MP4" % day
    card.extra("Normal/NORM%s-093002.MP4" % day, "no camera letter", source=source)
    card.extra("Normal/DRIVE_0001.MP4", "name does not match", source=source)
    card.extra("Normal/NORM%s-093502F.TXT" % day, "not a video suffix", data=b"not a video\n")
    card.extra("Normal/NORM%s-094002F.MP4" % day, "zero-length file", data=b"")
    truncated = "Normal/NORM%s-094502F.MP4" % day
    with open(os.path.join(card.root, source), "rb") as handle:
        data = handle.read()
    write_damaged(card, truncated, source, moov_offset(data) // 2, "halfway to its movie header")
    card.recordings.append({
        "name": "NORM%s-094502" % day, "type": "NORM", "front": truncated, "rear": None,
        "duration": None, "rearDuration": None, "entries": 41, "listed": True, "damaged": True,
        "note": "truncated halfway to its movie header: a damaged recording"})
    # The main drive cut by a power loss two seconds before its end.
    name = "NORM%s-095502" % day
    files = {}
    for camera in "FR":
        original = "Normal/NORM%s-081502%s.MP4" % (day, camera)
        with open(os.path.join(card.root, original), "rb") as handle:
            tracks = sample_tables(handle.read())
        files[camera] = "Normal/%s%s.MP4" % (name, camera)
        write_damaged(card, files[camera], original,
                      cut_in_sample(tracks, "vide", 1 - 2.0 / long_d), "video sample near the end")
    card.recordings.append({
        "name": name, "type": "NORM", "front": files["F"], "rear": files["R"], "duration": None,
        "rearDuration": None, "entries": 41, "listed": True, "damaged": True,
        "note": "the main drive cut by a power loss 2 s before its end"})


DAMAGE_KINDS = [
    # (name, track whose sample is cut, where in the recording)
    ("first-second", "vide", None),
    ("video", "vide", 0.5),
    ("audio", "soun", 0.6),
    ("text", "sbtl", 0.7),
    ("before-moov", None, None),
]


def write_damaged_card(card):
    """Recordings cut at chosen points, each front and rear, beside a healthy
    recording of both cameras and the uncut originals."""
    duration = card.options.damaged_duration
    day = "260415"
    card.recording("Normal", "NORM%s-120000" % day, duration, 200,
                   note="healthy: the reference for the damaged recordings")
    originals = []
    for index, (kind, _, _) in enumerate(DAMAGE_KINDS + [("mdat-zero", None, None),
                                                        ("faststart", None, None)]):
        name = "NORM%s-12%02d00" % (day, index + 1)
        files = card.recording("Uncut", "uncut-" + name, duration, 201 + index, listed=False,
                               note="uncut original of a damaged recording")
        originals.append((kind, name, files))
    card.flush()

    for kind, name, files in originals:
        for camera, original in files.items():
            relative = "Normal/%s%s.MP4" % (name, camera)
            with open(os.path.join(card.root, original), "rb") as handle:
                data = handle.read()
            if kind == "faststart":
                # The index written at the front: the data after it is cut.
                moved = os.path.join(card.work, "faststart-%s.mp4" % camera)
                run_ffmpeg(["-i", os.path.join(card.root, original), "-map", "0", "-c", "copy",
                            "-movflags", "+faststart", "-fflags", "+bitexact", moved])
                original = "Uncut/uncut-%s%s-faststart.MP4" % (name, camera)
                shutil.copyfile(moved, os.path.join(card.root, original))
                with open(moved, "rb") as handle:
                    data = handle.read()
                cut = cut_in_sample(sample_tables(data), "vide", 0.7)
            elif kind in ("before-moov", "mdat-zero"):
                cut = moov_offset(data)
            elif kind == "first-second":
                cut = cut_in_sample(sample_tables(data), "vide", 0.4 / duration)
            else:
                handler, fraction = next((h, f) for k, h, f in DAMAGE_KINDS if k == kind)
                cut = cut_in_sample(sample_tables(data), handler, fraction)
            write_damaged(card, relative, original, cut, kind, zero_size=kind == "mdat-zero",
                          reference="Normal/NORM%s-120000%s.MP4" % (day, camera))


def write_bulk_card(card, count, link):
    start = datetime(2026, 4, 15, 6, 0, 2)
    names = [TYPE_PREFIXES[index % len(TYPE_PREFIXES)]
             + (start + timedelta(minutes=index)).strftime("%y%m%d-%H%M%S")
             for index in range(count)]
    templates = {}
    for index, name in enumerate(names[:len(TYPE_PREFIXES)]):
        prefix = name[:4]
        kind = "parked" if prefix.startswith("P") else "drive"
        impact = card.options.short_duration / 2 if prefix in ("EVEN", "PEVE") else None
        templates[prefix] = (len(card.recordings),
                             card.recording(TYPE_FOLDERS[prefix], name, card.options.short_duration,
                                            100 + index, kind=kind, impact_at=impact))
    card.flush()
    for name in names[len(TYPE_PREFIXES):]:
        prefix = name[:4]
        folder = TYPE_FOLDERS[prefix]
        template, files = templates[prefix]
        for camera, relative in files.items():
            target = os.path.join(card.root, folder, name + camera + ".MP4")
            if os.path.exists(target):
                os.remove(target)
            if link:
                os.link(os.path.join(card.root, relative), target)
            else:
                shutil.copyfile(os.path.join(card.root, relative), target)
        card.recordings.append(dict(card.recordings[template], name=name,
                                    front=os.path.join(folder, name + "F.MP4"),
                                    rear=os.path.join(folder, name + "R.MP4"), note="copy"))


def main():
    parser = argparse.ArgumentParser(prog="make_card", description=__doc__.split("\n")[0])
    parser.add_argument("output")
    parser.add_argument("--small", action="store_true")
    parser.add_argument("--count", type=int)
    parser.add_argument("--duration", type=float)
    parser.add_argument("--link", action="store_true")
    parser.add_argument("--damaged", action="store_true")
    parser.add_argument("--manifest")
    parser.add_argument("--quiet", action="store_true")
    args = parser.parse_args()
    if args.duration is not None and not 0.1 <= args.duration <= 3600:
        parser.error("--duration must be between 0.1 and 3600 seconds")
    if args.count is not None and args.count < 1:
        parser.error("--count must be at least 1")
    if args.count is not None and args.damaged:
        parser.error("--count and --damaged exclude each other")
    if shutil.which("ffmpeg") is None:
        sys.exit("make_card: ffmpeg is not installed")
    if not os.path.isfile(FONT):
        sys.exit("make_card: the font %s is missing (Debian package fonts-dejavu-core)" % FONT)

    options = Options(args)
    root = os.path.abspath(args.output)
    os.makedirs(root, exist_ok=True)
    with tempfile.TemporaryDirectory(prefix="make_card-") as work:
        card = Card(options, root, work)
        if args.count:
            write_bulk_card(card, args.count, args.link)
        elif args.damaged:
            write_damaged_card(card)
        else:
            write_sample_card(card)
    if args.manifest:
        with open(args.manifest, "w") as handle:
            json.dump({"root": root, "small": options.small, "recordings": card.recordings,
                       "extras": card.extras, "damaged": card.damaged}, handle, indent=1)
    log(options, "wrote %d recordings to %s" % (len(card.recordings), root))


if __name__ == "__main__":
    main()
