#!/usr/bin/env python3
"""Pack and unpack throughput of examzip against Info-ZIP on a generated answer folder.

  bench_zip.py --examzip PATH [--work DIR] [--size-mb 60] [--runs 2]
  bench_zip.py --examzip PATH --memory      peak RSS of packing a 300 MB folder

The corpus comes from ../shared/bench/make_corpus.py (beside the checkout) and is generated once
into --work. Each tool runs --runs times in this process's run; the best time counts, and the
files are in the page cache for both. Ratios above 1 mean examzip is faster.
"""
import argparse
import os
import shutil
import subprocess
import sys
import time

ROOT = os.path.abspath(os.path.join(os.path.dirname(__file__), "..", ".."))
MAKE_CORPUS = os.path.join(ROOT, "..", "shared", "bench", "make_corpus.py")


def timed(cmd, cwd=None):
    """Runs cmd; returns (seconds, peak RSS in MB). The peak is the child's own high-water mark
    after its exec (VmHWM), read until it exits: rusage would count the forked copy of this
    interpreter too."""
    start = time.perf_counter()
    proc = subprocess.Popen(cmd, cwd=cwd, stdout=subprocess.DEVNULL)
    peak_kb = 0
    while proc.poll() is None:
        try:
            with open("/proc/%d/status" % proc.pid) as f:
                for line in f:
                    if line.startswith("VmHWM:"):
                        peak_kb = max(peak_kb, int(line.split()[1]))
        except OSError:
            pass
        time.sleep(0.005)
    elapsed = time.perf_counter() - start
    if proc.returncode != 0:
        sys.exit("failed (%d): %s" % (proc.returncode, " ".join(cmd)))
    return elapsed, peak_kb / 1024.0


def best(runs, cmd, cwd=None, before=None):
    results = []
    for _ in range(runs):
        if before:
            before()
        results.append(timed(cmd, cwd))
    return min(r[0] for r in results), max(r[1] for r in results)


def corpus(work, size_mb):
    folder = os.path.join(work, "corpus-%g" % size_mb)
    if not os.path.isdir(folder):
        subprocess.run([sys.executable, MAKE_CORPUS, "--out", folder + ".tmp",
                        "--size-mb", str(size_mb)], check=True, stdout=subprocess.DEVNULL)
        os.rename(folder + ".tmp", folder)
    total = 0
    for dirpath, _, files in os.walk(folder):
        total += sum(os.path.getsize(os.path.join(dirpath, f)) for f in files)
    return folder, total


def remove(path):
    if os.path.isdir(path):
        shutil.rmtree(path)
    elif os.path.exists(path):
        os.remove(path)


def main():
    ap = argparse.ArgumentParser(description=__doc__, formatter_class=argparse.RawDescriptionHelpFormatter)
    ap.add_argument("--examzip", required=True)
    ap.add_argument("--work", default=os.path.join(ROOT, "build", "bench-files"))
    ap.add_argument("--size-mb", type=float, default=60.0)
    ap.add_argument("--runs", type=int, default=2)
    ap.add_argument("--memory", action="store_true")
    args = ap.parse_args()
    examzip = os.path.abspath(args.examzip)
    args.work = os.path.abspath(args.work)
    os.makedirs(args.work, exist_ok=True)
    ours = os.path.join(args.work, "ours.zip")
    theirs = os.path.join(args.work, "theirs.zip")

    if args.memory:
        folder, total = corpus(args.work, 300)
        seconds, rss = timed([examzip, "pack", folder, ours])
        zip_seconds, zip_rss = timed(["zip", "-8", "-r", "-q", theirs, "."], cwd=folder)
        print("pack of %.1f MB: examzip peak RSS %.1f MB (%.1f s), zip -8 peak RSS %.1f MB (%.1f s)"
              % (total / 1e6, rss, seconds, zip_rss, zip_seconds))
        remove(ours)
        remove(theirs)
        return

    folder, total = corpus(args.work, args.size_mb)
    print("corpus: %s, %.1f MB" % (folder, total / 1e6))
    zip_t, _ = best(args.runs, ["zip", "-8", "-r", "-q", theirs, "."], cwd=folder,
                    before=lambda: remove(theirs))
    pack_t, pack_rss = best(args.runs, [examzip, "pack", folder, ours])
    ours_size, theirs_size = os.path.getsize(ours), os.path.getsize(theirs)
    print("pack:   examzip %.2f s, zip -8 -r -q %.2f s, throughput ratio %.2f" % (pack_t, zip_t, zip_t / pack_t))
    print("size:   examzip %.2f MB, zip %.2f MB, size ratio %.4f"
          % (ours_size / 1e6, theirs_size / 1e6, ours_size / theirs_size))

    out = os.path.join(args.work, "out")
    runs = max(args.runs, 3)
    unzip_t, _ = best(runs, ["unzip", "-q", ours, "-d", out], before=lambda: remove(out))
    unpack_t, unpack_rss = best(runs, [examzip, "unpack", ours, out], before=lambda: remove(out))
    print("unpack: examzip %.2f s, unzip -q %.2f s, throughput ratio %.2f" % (unpack_t, unzip_t, unzip_t / unpack_t))
    print("peak RSS: pack %.1f MB, unpack %.1f MB" % (pack_rss, unpack_rss))
    remove(out)
    remove(ours)
    remove(theirs)


if __name__ == "__main__":
    main()
