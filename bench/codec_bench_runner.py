"""The Linux and Windows builds timed in turn on the same inputs (run_codec_bench.sh)."""
import os, re, shutil, statistics, subprocess, sys

from machine import processor

ROOT, WORK, ROUNDS = sys.argv[1], sys.argv[2], int(sys.argv[3])
LINUX_BENCH = os.path.join(ROOT, "build/bench/codec_bench")
WIN_BENCH = os.path.join(ROOT, "build-win/bench/codec_bench.exe")
LINUX_Q73 = os.path.join(ROOT, "build/app/q73")
WIN_Q73 = os.path.join(ROOT, "build-win/app/q73.exe")
READER = os.path.join(ROOT, "build-win/bench/result_reader.exe")
INPUTS = [("corpus x4", "corpus_x4"), ("100 MB real", "real_100mb")]
ELAPSED = re.compile(r"Elapsed Time: ([0-9.]+) sec\.")

def output_of(cmd, cwd=None):
    """A program's standard output, through a file: services that Wine starts
    keep a pipe open for good, so that its reader never sees the end."""
    with open(os.path.join(WORK, "out.txt"), "w+") as out:
        r = subprocess.run(cmd, cwd=cwd, stdout=out, stderr=subprocess.DEVNULL)
        out.seek(0)
        return r.returncode, out.read()

def codec_bench(cmd, path):
    code, out = output_of(cmd + [path, "3"])
    if code != 0: sys.exit("FAILED: %s %s" % (" ".join(cmd), path))
    fields = out.strip().splitlines()[-1].split()
    return float(fields[1]), float(fields[2]), fields[3] + " " + fields[4]

def elapsed_of(text):
    m = ELAPSED.search(text)
    if not m: sys.exit("FAILED: no elapsed time in %r" % text)
    return float(m.group(1))

def fresh(folder, src):
    """A folder holding only in.dat, a hard link to the input (nothing copied)."""
    shutil.rmtree(folder, ignore_errors=True)
    os.makedirs(os.path.join(folder, "back"))
    os.link(src, os.path.join(folder, "in.dat"))

def linux_job(folder, name):
    code, out = output_of([LINUX_Q73, name], folder)
    if code != 0: sys.exit("FAILED: q73 %s" % name)
    return elapsed_of(out)

def windows_job(folder, name, caption):
    q = subprocess.Popen(["wine", WIN_Q73, name], cwd=folder, stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
    # A reader that started too early (Wine still bringing its desktop up) is
    # started again while the program waits for its OK.
    for _ in range(5):
        code, out = output_of(["wine", READER, caption])
        if code == 0 or q.poll() is not None: break
    if code != 0: q.kill()
    if q.wait(timeout=600) != 0 or code != 0: sys.exit("FAILED: q73.exe %s" % name)
    return elapsed_of(out)

def program_round(src, tag, job):
    folder = os.path.join(WORK, tag)
    fresh(folder, src)
    c = job(folder, "in.dat", "Compression Completed ...") if tag == "win" else job(folder, "in.dat")
    os.rename(os.path.join(folder, "in.Q73"), os.path.join(folder, "back/in.Q73"))
    back = os.path.join(folder, "back")
    e = job(back, "in.Q73", "Expansion Completed ...") if tag == "win" else job(back, "in.Q73")
    if subprocess.run(["cmp", "-s", src, os.path.join(back, "in.dat")]).returncode != 0:
        sys.exit("FAILED: %s round trip differs" % tag)
    return c, e

def spread(values):
    return "%.2f (%.2f-%.2f)" % (statistics.median(values), min(values), max(values))

def ratio(win, lin, speeds):
    w, l = statistics.median(win), statistics.median(lin)
    return l / w if speeds else w / l

def main():
    rows = []
    for label, name in INPUTS:
        src = os.path.join(WORK, name)
        lc, le, wc, we, sums = [], [], [], [], set()
        for _ in range(ROUNDS):
            for cmd, c_list, e_list in (([LINUX_BENCH], lc, le), (["wine", WIN_BENCH], wc, we)):
                c, e, s = codec_bench(cmd, src)
                c_list.append(c); e_list.append(e); sums.add(s)
        if len(sums) != 1: sys.exit("FAILED: the builds code %s differently: %s" % (label, sums))
        rows.append((label, "codec MB/s", lc, wc, le, we, True))
        pc, pe, qc, qe = [], [], [], []
        for _ in range(ROUNDS):
            c, e = program_round(src, "linux", linux_job); pc.append(c); pe.append(e)
            c, e = program_round(src, "win", windows_job); qc.append(c); qe.append(e)
        if subprocess.run(["cmp", "-s", os.path.join(WORK, "linux/back/in.Q73"),
                           os.path.join(WORK, "win/back/in.Q73")]).returncode != 0:
            sys.exit("FAILED: q73.exe and q73 wrote different files for %s" % label)
        rows.append((label, "Elapsed s", pc, qc, pe, qe, False))
    print(processor())
    print("%d rounds each, in turn; median (lowest-highest); ratio = Windows time / Linux time" % ROUNDS)
    print("| input | measure | compress Linux | compress Windows | ratio | expand Linux | expand Windows | ratio |")
    print("|---|---|---|---|---|---|---|---|")
    for label, what, lc, wc, le, we, speeds in rows:
        print("| %s | %s | %s | %s | %.2f | %s | %s | %.2f |" % (label, what, spread(lc), spread(wc), ratio(wc, lc, speeds),
                                                              spread(le), spread(we), ratio(we, le, speeds)))
    print("coded bytes identical in both builds, both programs' files identical and round trips exact")

main()
