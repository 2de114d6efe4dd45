#!/usr/bin/env python3
"""Kestrin against Debian's onscripter under Xvfb, on the same 640x480 picture.

Each round runs every engine once per scenario, in alternating order; the medians of the rounds
are printed with the ratios Kestrin / peer. See README.md beside this file.
"""
import argparse
import os
import select
import shutil
import signal
import statistics
import struct
import subprocess
import sys
import tempfile
import time
import zlib

WIDTH, HEIGHT = 640, 480
TICK = os.sysconf("SC_CLK_TCK")
# Points that must all show the picture's colours before a frame counts as complete.
PROBES = [(8, 8), (WIDTH - 9, 8), (WIDTH // 2, HEIGHT // 2), (8, HEIGHT - 9), (WIDTH - 9, HEIGHT - 9)]


def colour_a(x, y):
    return (200, 40 + (x * 150) // WIDTH, 90 + (y * 100) // HEIGHT)


def colour_b(x, y):
    return (30 + (y * 150) // HEIGHT, 180, 220 - (x * 100) // WIDTH)


def write_png(path, colour):
    rows = bytearray()
    for y in range(HEIGHT):
        rows.append(0)
        for x in range(WIDTH):
            rows.extend(colour(x, y))
    def chunk(kind, data):
        body = kind + data
        return struct.pack(">I", len(data)) + body + struct.pack(">I", zlib.crc32(body) & 0xFFFFFFFF)
    with open(path, "wb") as f:
        f.write(b"\x89PNG\r\n\x1a\n")
        f.write(chunk(b"IHDR", struct.pack(">IIBBBBB", WIDTH, HEIGHT, 8, 2, 0, 0, 0)))
        f.write(chunk(b"IDAT", zlib.compress(bytes(rows), 6)))
        f.write(chunk(b"IEND", b""))


def filler_lines(engine, target_bytes):
    """Scenario text never reached (after the end), parsed and kept by each engine."""
    out, size, i = [], 0, 0
    while size < target_bytes:
        if engine == "kestrin":
            block = (f"*l{i}\n[var name=v data={i}]\n"
                     f"Line {i} of the big scenario: some words to make a line of ordinary length.@\n")
        else:
            block = (f"*l{i}\nmov %1,{i}\n"
                     f"`Line {i} of the big scenario: some words to make a line of ordinary length.@\n")
        out.append(block)
        size += len(block)
        i += 1
    return "".join(out)


def make_games(root, big_bytes):
    """Three scenarios for each engine: idle (picture, click wait), fade (picture, 1 s, a 2 s
    cross-fade, click wait) and big (the idle one with a large scenario)."""
    games = {}
    font = None
    for candidate in ("/usr/share/fonts/truetype/dejavu/DejaVuSans.ttf",
                      "/usr/share/fonts/truetype/dejavu/DejaVuSansMono.ttf"):
        if os.path.exists(candidate):
            font = candidate
            break
    for scenario in ("idle", "fade", "big"):
        for engine in ("kestrin", "peer"):
            d = os.path.join(root, f"{engine}-{scenario}")
            os.makedirs(d)
            write_png(os.path.join(d, "a.png"), colour_a)
            write_png(os.path.join(d, "b.png"), colour_b)
            extra = filler_lines(engine, big_bytes) if scenario == "big" else ""
            if engine == "kestrin":
                with open(os.path.join(d, "system.ini"), "w") as f:
                    f.write("[SYSTEM]\nBOOT=main.iet\nCHARSET=utf-8\nSAVEPATH=save\n\n"
                            f"[WINDOW]\nWIDTH={WIDTH}\nHEIGHT={HEIGHT}\n")
                body = "*start\n[lyc id=bg file=a.png]\n[flip]\n"
                if scenario == "fade":
                    body += "[wait time=1000]\n[lyc id=bg file=b.png]\n[trans type=1 time=2000 input=0]\n"
                body += "@\n[exit]\n"
                with open(os.path.join(d, "main.iet"), "w") as f:
                    f.write(body + extra)
            else:
                body = "*define\neffect 2,10,2000\ngame\n*start\nbg \"a.png\",1\n"
                if scenario == "fade":
                    body += "wait 1000\nbg \"b.png\",2\n"
                body += "click\nend\n"
                with open(os.path.join(d, "0.txt"), "w") as f:
                    f.write(body + extra)
                if font:
                    os.symlink(font, os.path.join(d, "default.ttf"))
            games[(engine, scenario)] = d
    return games


PROBE = None  # the compiled frame_probe (see main)


def probe_args(colour):
    return [f"{x},{y},{','.join(str(c) for c in colour(x, y))}" for x, y in PROBES]


def grab(display):
    """The root window as (bytes per line, pixel bytes) from xwd; None when it fails."""
    try:
        data = subprocess.run(["xwd", "-root", "-silent", "-display", display], capture_output=True,
                              timeout=5).stdout
    except subprocess.TimeoutExpired:
        return None
    if len(data) < 100:
        return None
    fields = struct.unpack(">25I", data[:100])
    header, bpp, bpl, ncolors = fields[0], fields[11], fields[12], fields[19]
    if bpp != 32:
        return None
    return bpl, data[header + ncolors * 12:]


def shows(frame, colour):
    bpl, pixels = frame
    for x, y in PROBES:
        o = y * bpl + x * 4
        if o + 3 > len(pixels):
            return False
        b, g, r = pixels[o], pixels[o + 1], pixels[o + 2]
        want = colour(x, y)
        if abs(r - want[0]) > 3 or abs(g - want[1]) > 3 or abs(b - want[2]) > 3:
            return False
    return True


def cpu_seconds(pid):
    with open(f"/proc/{pid}/stat") as f:
        fields = f.read().rsplit(")", 1)[1].split()
    return (int(fields[11]) + int(fields[12])) / TICK


def run_seconds(pid):
    """CPU time of the live threads, to the nanosecond (the scheduler's own count): the tick
    counts of /proc/PID/stat are too coarse for the 1 % of a core an idle engine spends."""
    total = 0
    for task in os.listdir(f"/proc/{pid}/task"):
        try:
            with open(f"/proc/{pid}/task/{task}/schedstat") as f:
                total += int(f.read().split()[0])
        except (FileNotFoundError, ProcessLookupError):
            pass  # a thread that ended meanwhile
    return total / 1e9


def peak_mib(pid):
    with open(f"/proc/{pid}/status") as f:
        for line in f:
            if line.startswith("VmHWM:"):
                return int(line.split()[1]) / 1024.0
    return float("nan")


def command(engine, game, kestrin, variant):
    if engine == "peer":
        return ["/usr/games/onscripter", "--window", "-r", game]
    args = [kestrin, game]
    if variant == "fsr":
        args.append("/fsr")
    return args


def run_once(engine, scenario, game, display, kestrin, variant):
    env = dict(os.environ, DISPLAY=display, SDL_AUDIODRIVER="dummy", KESTRIN_LOG_WINDOW="0")
    env.pop("SDL_VIDEODRIVER", None)
    # The watch is connected before the engine starts, so that it costs the engine nothing.
    probe = subprocess.Popen([PROBE, display, "60000"] + probe_args(colour_a), stdout=subprocess.PIPE, text=True)
    if probe.stdout.readline().strip() != "ready":
        raise RuntimeError("frame_probe could not watch the screen")
    start = time.monotonic()
    proc = subprocess.Popen(command(engine, game, kestrin, variant), cwd=game, env=env,
                            stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
    result = {}
    try:
        first = None
        while first is None:
            if proc.poll() is not None:
                raise RuntimeError(f"{engine} ended before its first frame (status {proc.returncode})")
            if select.select([probe.stdout], [], [], 0.05)[0]:
                line = probe.stdout.readline().strip()
                if line in ("", "timeout"):
                    raise RuntimeError(f"{engine}: no complete frame within 60 s")
                first = float(line)
                result["first_cpu_ms"] = cpu_seconds(proc.pid) * 1000.0
                result["first_ms"] = (first - start) * 1000.0
        if scenario in ("idle", "big"):
            time.sleep(1.0)
            c0, t0 = run_seconds(proc.pid), time.monotonic()
            time.sleep(4.0)
            result["idle_pct"] = 100.0 * (run_seconds(proc.pid) - c0) / (time.monotonic() - t0)
        else:
            # The fade starts 1 s after the first frame and lasts 2 s: measure well inside it.
            time.sleep(max(0.0, first + 1.15 - time.monotonic()))
            c0, t0 = run_seconds(proc.pid), time.monotonic()
            time.sleep(1.7)
            result["fade_pct"] = 100.0 * (run_seconds(proc.pid) - c0) / (time.monotonic() - t0)
            time.sleep(1.0)
            frame = grab(display)
            result["fade_done"] = 1.0 if frame and shows(frame, colour_b) else 0.0
        result["peak_mib"] = peak_mib(proc.pid)
    finally:
        if probe.poll() is None:
            probe.kill()
        probe.wait()
        proc.send_signal(signal.SIGTERM)
        try:
            proc.wait(timeout=5)
        except subprocess.TimeoutExpired:
            proc.kill()
            proc.wait()
    return result


def main():
    parser = argparse.ArgumentParser(description=__doc__)
    parser.add_argument("kestrin", help="path of the kestrin binary (a Release build)")
    parser.add_argument("--runs", type=int, default=5, help="rounds (default 5)")
    parser.add_argument("--variant", choices=["default", "fsr"], default="default",
                        help="Kestrin as started by a player (default) or with /fsr")
    parser.add_argument("--big-mib", type=float, default=29.0, help="size of the big scenario in MiB")
    parser.add_argument("--display", default=":77", help="the Xvfb display to start")
    args = parser.parse_args()
    kestrin = os.path.abspath(args.kestrin)
    for tool in ("Xvfb", "xwd", "/usr/games/onscripter", "cc"):
        if not shutil.which(tool):
            sys.exit(f"peer_bench: {tool} is missing (see README.md)")

    root = tempfile.mkdtemp(prefix="kestrin-peer-")
    global PROBE
    PROBE = os.path.join(root, "frame_probe")
    source = os.path.join(os.path.dirname(os.path.abspath(__file__)), "frame_probe.c")
    if subprocess.run(["cc", "-O2", source, "-o", PROBE, "-lX11"]).returncode != 0:
        sys.exit("peer_bench: frame_probe.c does not build (needs libx11-dev)")
    xvfb = subprocess.Popen(["Xvfb", args.display, "-screen", "0", f"{WIDTH}x{HEIGHT}x24", "-nolisten", "tcp"],
                            stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
    try:
        time.sleep(1.0)
        games = make_games(root, int(args.big_mib * 1024 * 1024))
        samples = {}
        engines = ["kestrin", "peer"]
        for round_ in range(args.runs):
            order = engines if round_ % 2 == 0 else engines[::-1]
            for scenario in ("idle", "fade", "big"):
                for engine in order:
                    r = run_once(engine, scenario, games[(engine, scenario)], args.display, kestrin, args.variant)
                    for key, value in r.items():
                        samples.setdefault((engine, scenario, key), []).append(value)
                    print(f"round {round_ + 1} {engine:7s} {scenario:4s} " +
                          " ".join(f"{k}={v:.1f}" for k, v in sorted(r.items())), flush=True)
        rows = [
            ("first complete frame (ms)", "idle", "first_ms"),
            ("peak memory (MiB)", "idle", "peak_mib"),
            ("idle CPU at a click wait (% of a core)", "idle", "idle_pct"),
            ("CPU during a 2 s cross-fade (% of a core)", "fade", "fade_pct"),
            ("cross-fade finished on time (share of runs)", "fade", "fade_done"),
            ("big scenario: CPU to the first frame (ms)", "big", "first_cpu_ms"),
            ("big scenario: wall time to the first frame (ms)", "big", "first_ms"),
            ("big scenario: peak memory (MiB)", "big", "peak_mib"),
        ]
        print(f"\nMedians of {args.runs} rounds; Kestrin {args.variant} ({kestrin})")
        print(f"| | peer | Kestrin | ratio |\n|---|---|---|---|")
        for title, scenario, key in rows:
            k = statistics.median(samples[("kestrin", scenario, key)])
            p = statistics.median(samples[("peer", scenario, key)])
            ratio = k / p if p else float("nan")
            print(f"| {title} | {p:.1f} | {k:.1f} | {ratio:.2f} |")
    finally:
        xvfb.terminate()
        xvfb.wait()
        shutil.rmtree(root, ignore_errors=True)


if __name__ == "__main__":
    main()
