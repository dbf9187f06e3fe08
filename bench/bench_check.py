#!/usr/bin/env python3
"""celwright-cli check against celwright-cli export of the same project, as
whole processes run alternately on the same machine: the 4096 x 4096 sheet of
bench_pipeline.py with 1,024 of its 64 x 64 cells as frames (its last 16 rows).

check reads the sheet whole, measures every frame's sprite and weighs all four
depth modes with both sections coded; export codes one mode. The figure is the
median of the per-pair ratios check / export after one untimed run of each.

    bench/bench_check.py --cli build/bench/src/cli/celwright-cli [--pairs N] [--keep DIR]

Prints the ratio beside its goal (at most 2 x); exits 1 when it is missed.
"""
import argparse
import os
import shutil
import sys
import tempfile

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
from bench_pipeline import compare, ms, remove, run, write_sheet  # noqa: E402


def main():
    ap = argparse.ArgumentParser(description=__doc__, formatter_class=argparse.RawDescriptionHelpFormatter)
    ap.add_argument("--cli", required=True, help="the Release build of celwright-cli")
    ap.add_argument("--pairs", type=int, default=15, help="timed pairs (default 15)")
    ap.add_argument("--keep", help="folder for the sheet, kept between runs (default: a temporary one)")
    args = ap.parse_args()
    cli = os.path.abspath(args.cli)
    work = args.keep or tempfile.mkdtemp(prefix="celwright-check-", dir=os.environ.get("TMPDIR", "/var/tmp"))
    os.makedirs(work, exist_ok=True)
    try:
        side = 4096
        bmp, sip = os.path.join(work, f"sheet{side}.bmp"), os.path.join(work, f"sheet{side}-1024.sip")
        if not os.path.exists(bmp) or os.path.getsize(bmp) != 54 + side * side * 3:
            print(f"drawing the {side} x {side} sheet ...", flush=True)
            write_sheet(bmp + ".tmp", side)
            os.replace(bmp + ".tmp", bmp)
        if not os.path.exists(sip):
            run([cli, "new", bmp, sip, "--grid", f"64x64+0+{side - 16 * 64}", "--mask", "FF00FF", "--force"])
        out = os.path.join(work, "out.sif")
        report = os.path.join(work, "check.txt")
        with open(report, "w") as f:
            run([cli, "check", sip], stdout=f)  # exits 0: the bench sheet has no problem
        with open(report) as f:
            lines = f.read().splitlines()

        r, st, pt, _ = compare("check", [cli, "check", sip], [cli, "export", sip, out], args.pairs,
                               lambda: remove(out))
        met = r <= 2.0
        print(f"\ncelwright-cli check vs export, 4096 x 4096 sheet, 1,024 frames "
              f"({args.pairs} alternating pairs, median of per-pair ratios):")
        print(f"  check / export {r:>8.2f} x   goal at most 2 x   {'met' if met else 'NOT MET'}"
              f"  (check {ms(st)}, export {ms(pt)})")
        print("  check said: " + " | ".join(line.strip() for line in lines if line.strip()))
        return 0 if met else 1
    finally:
        if not args.keep:
            shutil.rmtree(work, ignore_errors=True)


if __name__ == "__main__":
    sys.exit(main())
