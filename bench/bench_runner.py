"""Times q73 and reference compressors (whole processes, median of runs)."""
import os, resource, shutil, statistics, subprocess, sys, tempfile, time

from machine import processor

ROOT = sys.argv[1]
RUNS = int(os.environ.get("BENCH_RUNS", "5"))
Q73 = os.path.join(ROOT, "build/app/q73")
CORPUS = os.path.join(ROOT, "../shared/corpus")
TOOLS = [("gzip -1", ["gzip", "-1"]), ("gzip -6", ["gzip", "-6"]), ("zstd -1", ["zstd", "-q", "-1"]),
         ("zstd -3", ["zstd", "-q", "-3"]), ("lz4 -1", ["lz4", "-q", "-1"]),
         ("bzip2 -9", ["bzip2", "-9"]), ("xz -6", ["xz", "-6"]), ("zstd -1 -T0", ["zstd", "-q", "-1", "-T0"])]
DECOMP = {"gzip": ["gzip", "-d"], "zstd": ["zstd", "-q", "-d"], "lz4": ["lz4", "-q", "-d"],
          "bzip2": ["bzip2", "-d"], "xz": ["xz", "-d"]}

def run(cmd, stdin=None, stdout=None):
    before = resource.getrusage(resource.RUSAGE_CHILDREN)
    start = time.perf_counter()
    subprocess.run(cmd, stdin=stdin, stdout=stdout, check=True)
    return time.perf_counter() - start

def peak_kb(cmd):
    r = subprocess.run(["/usr/bin/time", "-f", "%M"] + cmd, capture_output=True, text=True, check=True)
    return int(r.stderr.strip().splitlines()[-1])

def must_match(a, b):
    if subprocess.run(["cmp", "-s", a, b]).returncode != 0:
        sys.exit("FAILED: round trip differs: %s vs %s" % (a, b))

class Q73Entry:
    """q73 on one input: the input is copied once and left to settle, as the
    other tools' input is; each expansion then writes into a folder of its
    own, so that the input is never written anew between runs."""

    def __init__(self, src, work, options=()):
        self.src, self.options = src, list(options)
        self.name = os.path.join(work, "in.dat"); self.packed = os.path.join(work, "in.Q73")
        back_dir = os.path.join(work, "back"); os.makedirs(back_dir, exist_ok=True)
        self.back_packed = os.path.join(back_dir, "in.Q73"); self.back = os.path.join(back_dir, "in.dat")
        if not os.path.exists(self.name):
            shutil.copyfile(src, self.name)
            os.sync()
        self.ct, self.et, self.size = [], [], 0

    def round(self):
        for p in (self.packed, self.back_packed, self.back):
            if os.path.exists(p): os.remove(p)
        self.ct.append(run([Q73] + self.options + [self.name], stdout=subprocess.DEVNULL))
        os.rename(self.packed, self.back_packed)
        self.et.append(run([Q73] + self.options + [self.back_packed], stdout=subprocess.DEVNULL))
        must_match(self.src, self.back)
        self.size = os.path.getsize(self.back_packed)

class ToolEntry:
    def __init__(self, cmd, src, work):
        self.cmd, self.src = cmd, src
        self.packed = os.path.join(work, "tool.out"); self.back = os.path.join(work, "tool.back")
        self.ct, self.et, self.size = [], [], 0

    def round(self):
        with open(self.src, "rb") as i, open(self.packed, "wb") as o: self.ct.append(run(self.cmd + ["-c"], i, o))
        with open(self.packed, "rb") as i, open(self.back, "wb") as o:
            self.et.append(run(DECOMP[self.cmd[0]] + ["-c"], i, o))
        must_match(self.src, self.back)
        self.size = os.path.getsize(self.packed)

def bench_all(entries):
    # Every tool runs once a round, in turn: a machine whose speed drifts
    # during the benchmark (a shared host) slows all of them alike, so the
    # ratios between them stay fair.
    for _ in range(RUNS):
        for _, entry in entries: entry.round()
    return [(n, (statistics.median(e.ct), statistics.median(e.et), e.size)) for n, e in entries]

def ratio_row(label, t):
    # Speeds compare as the inverse of times; every file of a row was timed in this run.
    q, q1, z, g6, g1 = t["q73"], t["q73 -T1"], t["zstd -1"], t["gzip -6"], t["gzip -1"]
    return "| %s | %.2f | %.2f | %.2f | %.2f | %.2f | %.2f | %.2f |" % (
        label, z[0] / q[0], g6[1] / q[1], g1[1] / q[1], z[0] / q1[0], g6[1] / q1[1], q1[0] / q[0], q1[1] / q[1])

def main():
    work = tempfile.mkdtemp(prefix="q73bench.")
    files = sorted(os.path.join(CORPUS, f) for f in os.listdir(CORPUS))
    files = [f for f in files if os.path.isfile(f)]
    cat = os.path.join(work, "corpus_all")
    with open(cat, "wb") as o:
        for f in files: o.write(open(f, "rb").read())
    cat4 = os.path.join(work, "corpus_all_x4")
    with open(cat4, "wb") as o:
        for _ in range(4): o.write(open(cat, "rb").read())
    # A whole tar of a real source tree (12 MB with g++ 12), as people pack one.
    headers = os.path.join(work, "cxx_headers.tar")
    subprocess.run(["tar", "cf", headers, "-C", "/usr/include", "c++"], check=True)
    big = os.path.join(work, "real_100mb")
    subprocess.run("tar cf - /usr/share/doc /usr/include /usr/share/perl* 2>/dev/null | head -c 104857600 > " + big,
                   shell=True)
    os.sync()  # every input settled on disk before anything is timed
    inputs = [(os.path.basename(f), f, False) for f in files] + [("corpus concatenated", cat, True),
                                                                 ("corpus concatenated x4", cat4, True),
                                                                 ("tar of /usr/include/c++", headers, True),
                                                                 ("real data 100 MB", big, True)]
    rows, plot, ratios = [], [], []
    for label, path, everyone in inputs:
        size = os.path.getsize(path)
        entries = [("q73", Q73Entry(path, work)), ("q73 -T1", Q73Entry(path, work, ["-T1"]))]
        if everyone:
            entries += [(n, ToolEntry(c, path, work)) for n, c in TOOLS]
        entries = bench_all(entries)
        os.remove(os.path.join(work, "in.dat"))
        if everyone:
            ratios.append(ratio_row(label, dict(entries)))
            print(ratios[-1], flush=True)
        for n, (c, e, s) in entries:
            rows.append("| %s | %s | %d | %.1f | %.1f | %d | %.3f |" % (label, n, size, size / c / 1e6,
                                                                      size / e / 1e6, s, s / size))
            if label == "corpus concatenated": plot.append((n, s / size, size / c / 1e6, size / e / 1e6))
        print(rows[-1], flush=True)
    mem = []
    one = os.path.join(work, "one_mb"); subprocess.run(["head", "-c", "1048576", big], stdout=open(one, "wb"), check=True)
    big2 = os.path.join(work, "real_200mb")
    with open(big2, "wb") as o:
        for _ in range(2): o.write(open(big, "rb").read())
    for label, path in (("1 MB", one), ("200 MB", big2)):
        for threads in ("1", "2", "8", "0"):
            name = os.path.join(work, "m.dat"); shutil.copyfile(path, name)
            c = peak_kb([Q73, "-T" + threads, name]); os.remove(name)
            e = peak_kb([Q73, "-T" + threads, os.path.join(work, "m.Q73")]); must_match(path, name)
            os.remove(name); os.remove(os.path.join(work, "m.Q73"))
            mem.append("| %s | %s | %d KB | %d KB |" % (label, threads if threads != "0" else "default", c, e))
    table = ["| input | tool | bytes | compress MB/s | expand MB/s | compressed bytes | ratio |",
             "|---|---|---|---|---|---|---|"] + rows
    speed = ["| input | q73 compress / zstd -1 | q73 expand / gzip -d (gzip -6 file) "
             "| q73 expand / gzip -d (gzip -1 file) | -T1 compress / zstd -1 | -T1 expand / gzip -d (-6) "
             "| compress: default / -T1 | expand: default / -T1 |", "|---|---|---|---|---|---|---|---|"] + ratios
    out = "# Benchmark\n\nWhole processes, median of %d runs, every tool run once a round in turn; " \
          "q73 uses every processor unless -T1 is given; %s.\n\n%s\n\n## q73 speed against zstd -1 and gzip -d\n\n" \
          "Ratios of speeds from the medians above (above 1: q73 is faster).\n\n%s\n\n" \
          "## q73 peak memory (max RSS)\n\n| input | -T | compress | expand |\n|---|---|---|---|\n%s\n" % (
              RUNS, processor(), "\n".join(table), "\n".join(speed), "\n".join(mem))
    print(out)
    open(os.path.join(ROOT, "docs/bench.md"), "w").write(out)
    dat = os.path.join(work, "plot.dat")
    with open(dat, "w") as d:
        for n, r, c, e in plot: d.write('"%s" %f %f %f\n' % (n, r, c, e))
    script = ('set terminal png size 900,600; set output "%s"; set logscale y; set xlabel "compressed/original";'
              'set ylabel "MB/s"; plot "%s" using 2:3:1 with labels offset 0,1 notitle, "" using 2:3 title "compress",'
              ' "" using 2:4 title "expand"' % (os.path.join(ROOT, "docs/bench.png"), dat))
    subprocess.run(["gnuplot", "-e", script], check=True)
    shutil.rmtree(work)

main()
