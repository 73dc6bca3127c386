"""The benchmark line of the web build: the module's MB/s each way in Node beside the native
program's at -T1, on the same file and machine.

usage: python3 bench/web_bench.py [FILE] [--native PROGRAM] [--runs N]
With no FILE, 64 MB made of the corpus files (../shared/corpus) are measured.  Build the module
first (scripts/web.sh).  The native program is timed as a whole process (reading the file,
writing to /dev/null), the module in memory; each figure is the best of N runs."""
import argparse
import json
import os
import subprocess
import sys
import tempfile
import time

root = os.path.dirname(os.path.dirname(os.path.abspath(__file__)))
sys.path.insert(0, os.path.join(root, "bench"))
import machine  # noqa: E402


def corpus_file(folder, megabytes):
    data = b"".join(open(os.path.join(folder, n), "rb").read() for n in sorted(os.listdir(folder)))
    out = tempfile.NamedTemporaryFile(prefix="q73-web-bench-", delete=False)
    left, turn = megabytes << 20, 0
    while left > 0:
        start = (turn * 7919) % len(data)
        piece = data[start:start + min(left, 1 << 20)]
        out.write(piece)
        left -= len(piece)
        turn += 1
    out.close()
    return out.name


def best_time(command, runs):
    best = float("inf")
    for _ in range(runs):
        with open(os.devnull, "wb") as sink:
            start = time.perf_counter()
            subprocess.run(command, stdout=sink, check=True)
            best = min(best, time.perf_counter() - start)
    return best


def main():
    parser = argparse.ArgumentParser()
    parser.add_argument("file", nargs="?")
    parser.add_argument("--native", default=os.path.join(root, "build/release/app/q73"))
    parser.add_argument("--runs", type=int, default=3)
    args = parser.parse_args()
    path = args.file or corpus_file(os.path.join(root, "..", "shared", "corpus"), 64)
    try:
        megabytes = os.path.getsize(path) / 1048576
        with tempfile.TemporaryDirectory() as scratch:
            packed = os.path.join(scratch, "bench.Q73")
            with open(packed, "wb") as f:
                subprocess.run([args.native, "-T1", "-q", "-z", "-c", path], stdout=f, check=True)
            native_compress = megabytes / best_time([args.native, "-T1", "-q", "-z", "-c", path], args.runs)
            native_expand = megabytes / best_time([args.native, "-T1", "-q", "-d", "-c", packed], args.runs)
        module = json.loads(subprocess.run(["node", os.path.join(root, "bench", "web_bench.mjs"), path,
                                            str(args.runs)], capture_output=True, text=True, check=True).stdout)
    finally:
        if not args.file:
            os.unlink(path)
    print("q73 %s web module (Node %s) vs native q73 -T1, %.0f MB%s, on %s:" % (
        module["version"], module["node"], megabytes, "" if args.file else " of corpus files",
        machine.processor()))
    print("  compress: module %.1f MB/s, native %.1f MB/s (%.2f of native)" % (
        module["compress"], native_compress, module["compress"] / native_compress))
    print("  expand:   module %.1f MB/s, native %.1f MB/s (%.2f of native)" % (
        module["expand"], native_expand, module["expand"] / native_expand))


if __name__ == "__main__":
    main()
