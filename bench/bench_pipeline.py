#!/usr/bin/env python3
"""celwright-cli export and import as whole processes, each against a peer
command run alternately with it on the same machine.

Both sides write durable outputs: the tool's atomic write syncs its file, the
peer runs `sync FILE` on its output. After one untimed warm-up run of each,
every pair runs subject and peer back to back (the order flips from pair to
pair) and the figure is the median of the per-pair ratios, so load from
others on the machine falls on both sides alike.

    bench/bench_pipeline.py --cli build/bench/src/cli/celwright-cli [--pairs N] [--keep DIR]

Prints each ratio beside its goal; exits 1 when a goal is missed.
"""
import argparse
import os
import shutil
import statistics
import struct
import subprocess
import sys
import tempfile
import time

MAGENTA = 0x00FF00FF  # colours are 0x00BBGGRR, as in the tool


def color_at(cx, cy, cell):
    """The sheet of bench_sif: a grid of 64 x 64 cells on magenta, each holding
    a figure of flat-coloured parts with a shaded belt, every cell different."""
    if cx < 16 or cx >= 48 or cy < 4 or cy >= 60:
        return MAGENTA
    if cy < 16:
        return 0x00A0C8F0 + cell % 8
    if cy < 36:
        return 0x00A09600 ^ ((cell * 2654435761) & 0x3F3F3F)
    if cy < 40:
        return 0x00101010 * ((cx + cell) % 16)
    return 0x00702828 if (cx < 30 or cx >= 34) else MAGENTA


def bgr(c):
    return bytes(((c >> 16) & 0xFF, (c >> 8) & 0xFF, c & 0xFF))


BG = bgr(MAGENTA)


def cell_row(cy, cell):
    """The 64 pixels of one cell's row cy, as BMP bytes (blue, green, red)."""
    if cy < 4 or cy >= 60:
        return BG * 64
    if cy < 36 or cy >= 40:  # flat parts: one colour across the figure
        figure = bgr(color_at(16, cy, cell)) * 14 + b"".join(bgr(color_at(cx, cy, cell)) for cx in range(30, 34)) \
            + bgr(color_at(16, cy, cell)) * 14
        return BG * 16 + figure + BG * 16
    return BG * 16 + b"".join(bgr(color_at(cx, cy, cell)) for cx in range(16, 48)) + BG * 16


def write_sheet(path, side):
    """A bottom-up 24-bit BMP of side x side pixels (side a multiple of 64)."""
    stride = side * 3  # a multiple of 4 for these sides: no padding
    with open(path, "wb") as f:
        f.write(struct.pack("<2sIHHI", b"BM", 54 + stride * side, 0, 0, 54))
        f.write(struct.pack("<IiiHHIIiiII", 40, side, side, 1, 24, 0, stride * side, 2835, 2835, 0, 0))
        cache = {}
        for row in range(side):
            y = side - 1 - row  # the file holds the bottom row first
            cy, cyc = y % 64, y // 64
            parts = []
            for cxc in range(side // 64):
                cell = cxc * 131 + cyc * 17
                # What a row depends on: the head's cell % 8, the torso's hash,
                # the belt's cell % 16.
                key = (cy, cell % 8 if cy < 16 else (cell * 2654435761) & 0x3F3F3F if cy < 36
                       else cell % 16 if cy < 40 else 0)
                part = cache.get(key)
                if part is None:
                    part = cache[key] = cell_row(cy, cell)
                parts.append(part)
            f.write(b"".join(parts))


def run(argv, stdout=None):
    """Runs one process; returns (seconds, peak resident bytes of that process)."""
    t0 = time.perf_counter()
    p = subprocess.Popen(argv, stdout=stdout if stdout is not None else subprocess.DEVNULL,
                         stderr=subprocess.PIPE)
    _, status, usage = os.wait4(p.pid, 0)
    seconds = time.perf_counter() - t0
    p.returncode = os.waitstatus_to_exitcode(status)
    err = p.stderr.read().decode(errors="replace")
    p.stderr.close()
    if p.returncode != 0:
        sys.exit(f"failed ({p.returncode}): {' '.join(argv)}\n{err}")
    return seconds, usage.ru_maxrss * 1024


def sh(script):
    return ["sh", "-c", script]


def remove(*paths):
    for p in paths:
        try:
            os.remove(p)
        except FileNotFoundError:
            pass


def compare(name, subject, peer, pairs, clean):
    """Alternating runs after a warm-up; per-pair ratios subject / peer time.
    Returns (median ratio, subject times, peer times, subject peaks)."""
    clean()
    run(subject)
    clean()
    run(peer)
    ratios, st, pt, peaks = [], [], [], []
    for i in range(pairs):
        times = {}
        for side in (("s", "p") if i % 2 == 0 else ("p", "s")):
            clean()
            t, rss = run(subject if side == "s" else peer)
            times[side] = t
            if side == "s":
                peaks.append(rss)
        st.append(times["s"])
        pt.append(times["p"])
        ratios.append(times["s"] / times["p"])
    clean()
    return statistics.median(ratios), st, pt, peaks


def ms(values):
    return f"{statistics.median(values) * 1000:.1f} ms"


def main():
    ap = argparse.ArgumentParser(description=__doc__, formatter_class=argparse.RawDescriptionHelpFormatter)
    ap.add_argument("--cli", required=True, help="the Release build of celwright-cli")
    ap.add_argument("--pairs", type=int, default=15, help="timed pairs per comparison (default 15)")
    ap.add_argument("--keep", help="folder for the sheets, kept between runs (default: a temporary one)")
    args = ap.parse_args()
    cli = os.path.abspath(args.cli)
    for tool in ("gzip", "sync", "cat"):
        if not shutil.which(tool):
            sys.exit(f"{tool} is needed")

    work = args.keep or tempfile.mkdtemp(prefix="celwright-pipeline-", dir=os.environ.get("TMPDIR", "/var/tmp"))
    os.makedirs(work, exist_ok=True)
    j = lambda name: os.path.join(work, name)
    try:
        for side in (4096, 8192):
            bmp, sip = j(f"sheet{side}.bmp"), j(f"sheet{side}.sip")
            if not os.path.exists(bmp) or os.path.getsize(bmp) != 54 + side * side * 3:
                print(f"drawing the {side} x {side} sheet ...", flush=True)
                write_sheet(bmp + ".tmp", side)
                os.replace(bmp + ".tmp", bmp)
            if not os.path.exists(sip):
                run([cli, "new", bmp, sip, "--grid", "64x64", "--skip-empty", "--mask", "FF00FF", "--force"])
        bmp4, sip4, bmp8, sip8 = j("sheet4096.bmp"), j("sheet4096.sip"), j("sheet8192.bmp"), j("sheet8192.sip")
        sif4 = j("sheet4096.sif")
        run([cli, "export", sip4, sif4])  # the import's input, mode 24, both sections coded
        gz4 = j("sheet4096.bmp.gz")
        run(sh(f"gzip -1 -c '{bmp4}' > '{gz4}'"))
        out_sif, out_peer, out_sip, out_bmp = j("out.sif"), j("out.peer"), j("out.sip"), j("out.bmp")

        def clean():
            remove(out_sif, out_peer, out_sip, out_bmp)

        rows = []
        r, st, pt, _ = compare("export", [cli, "export", sip4, out_sif],
                               sh(f"gzip -1 -c '{bmp4}' > '{out_peer}' && sync '{out_peer}'"), args.pairs, clean)
        rows.append(("export 4096 x 4096, mode 24, both coded, vs gzip -1 + sync",
                     f"{1 / r:.2f} x faster", "at least 5 x faster", 1 / r >= 5.0, st, pt))
        r, st, pt, _ = compare("import", [cli, "import", sif4, out_sip],
                               sh(f"gzip -dc '{gz4}' > '{out_peer}' && sync '{out_peer}'"), args.pairs, clean)
        rows.append(("import 4096 x 4096 (.sif to .sip + .bmp) vs gzip -dc + sync",
                     f"{1 / r:.2f} x faster", "at least 2.5 x faster", 1 / r >= 2.5, st, pt))
        r, st, pt, _ = compare("import near the disk", [cli, "import", sif4, out_sip],
                               sh(f"cat '{bmp4}' > '{out_peer}' && sync '{out_peer}'"), args.pairs, clean)
        rows.append(("import 4096 x 4096 vs cat of its .bmp + sync",
                     f"{r:.2f} x slower", "at most 1.3 x slower", r <= 1.3, st, pt))
        r, st, pt, peaks = compare("export stored",
                                   [cli, "export", sip8, out_sif, "--no-compress-structure", "--no-compress-image"],
                                   sh(f"cat '{bmp8}' > /dev/null"), args.pairs, clean)
        rows.append(("export 8192 x 8192, nothing coded, vs cat > /dev/null",
                     f"{r:.2f} x slower", "at most 4 x slower", r <= 4.0, st, pt))
        peak = max(peaks) / (8192 * 8192 * 3)
        rows.append(("peak memory of that export / the sheet's pixel bytes",
                     f"{peak:.2f} x", "at most 1.5 x", peak <= 1.5, None, None))

        print(f"\ncelwright-cli pipeline ({args.pairs} alternating pairs each, median of per-pair ratios; "
              f"sheets in {work}):")
        met_all = True
        for what, got, goal, met, st, pt in rows:
            met_all = met_all and met
            times = f"  (tool {ms(st)}, peer {ms(pt)})" if st else ""
            print(f"  {what:<62} {got:>15}   goal {goal:<22} {'met' if met else 'NOT MET'}{times}")
        return 0 if met_all else 1
    finally:
        if not args.keep:
            shutil.rmtree(work, ignore_errors=True)


if __name__ == "__main__":
    sys.exit(main())
