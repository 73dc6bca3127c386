"""The page (build/web/q73.html) opened from disk in headless Chromium, as a user works it.

Real files, a 150 MB one among them, are handed to its file chooser; each job must end with a
link whose name and bytes are those of the native program's output for that file, and with the
native program's result lines; a damaged .Q73 file and a file that is not one must show their
"ERROR: ..." texts; a job cancelled while it runs must end with no result; and in a page that
can have no worker the jobs must run on the page itself to the same ends.  Run with Debian's
/usr/bin/python3 (selenium); see run.sh.

usage: page_test.py PAGE NATIVE CORPUS [--screenshot PNG]
"""
import argparse
import hashlib
import os
import re
import shutil
import subprocess
import sys
import tempfile
import time

from selenium import webdriver
from selenium.webdriver.chrome.service import Service
from selenium.webdriver.common.by import By

BIG_MB = 150
COMPRESS = ["alice29.txt", "fireworks.jpeg", "html", "urls.10K", "geo.protodata", "paper-100k.pdf"]
EXPAND = {"lcet10.txt": "lcet10.Q73", "kppkn.gtb": "kppkn.Q73", "plrabn12.txt": "plrabn12.q73"}
DAMAGED = "ERROR: Compressed file is damaged or truncated"
NOT_Q73 = "ERROR: File is not compressed with this version of Q73"

failures = []


def check(ok, what):
    print(("ok     " if ok else "FAILED ") + what)
    if not ok:
        failures.append(what)


def sha256(path):
    digest = hashlib.sha256()
    with open(path, "rb") as f:
        for block in iter(lambda: f.read(1 << 20), b""):
            digest.update(block)
    return digest.hexdigest()


def run_native(native, path):
    """Runs the native program on `path` alone in its folder, as a user would: returns the
    output's name, its SHA-256 and the result lines printed."""
    folder = os.path.dirname(path)
    before = set(os.listdir(folder))
    done = subprocess.run([native, "-T1", path], capture_output=True, text=True, check=True)
    made = sorted(set(os.listdir(folder)) - before)
    assert len(made) == 1, made
    return made[0], sha256(os.path.join(folder, made[0])), done.stdout.splitlines()


def prepare(native, corpus, scratch):
    """The files to hand to the page, each alone in a folder, and what the native program made
    of each: {path: (output name, sha256, lines) or an ERROR text}; and the 150 MB file."""
    jobs = {}

    def alone(name, content=b"", link=None, move=None):
        path = os.path.join(tempfile.mkdtemp(dir=scratch), name)
        if link:
            os.symlink(link, path)
        elif move:
            shutil.move(move, path)
        else:
            with open(path, "wb") as f:
                f.write(content)
        return path

    def packed_alone(source, name):
        packed, _, _ = run_native(native, source)
        return alone(name, move=os.path.join(os.path.dirname(source), packed))

    for name in COMPRESS:
        path = alone(name, link=os.path.join(corpus, name))
        jobs[path] = run_native(native, path)
    for original, packed_name in EXPAND.items():
        path = packed_alone(alone(original, link=os.path.join(corpus, original)), packed_name)
        jobs[path] = run_native(native, path)

    # 150 MB of the corpus files over and over, each piece from another place.
    corpus_bytes = b"".join(open(os.path.join(corpus, n), "rb").read() for n in sorted(os.listdir(corpus)))
    big = alone("big.log")
    with open(big, "wb") as f:
        left, turn = BIG_MB << 20, 0
        while left > 0:
            start = (turn * 7919) % len(corpus_bytes)
            piece = corpus_bytes[start:start + min(left, 1 << 20)]
            f.write(piece)
            left -= len(piece)
            turn += 1
    big_packed = packed_alone(big, "big.Q73")
    jobs[big] = run_native(native, big)
    jobs[big_packed] = run_native(native, big_packed)

    with open(packed_alone(alone("alice29.txt", link=os.path.join(corpus, "alice29.txt")), "x.Q73"), "rb") as f:
        whole = f.read()
    jobs[alone("damaged.Q73", whole[:len(whole) // 2])] = DAMAGED
    jobs[alone("notes.q73", b"plain text, never compressed\n")] = NOT_Q73
    return jobs, big


def browser():
    options = webdriver.ChromeOptions()
    for argument in ["--headless=new", "--no-sandbox", "--disable-gpu", "--disable-dev-shm-usage"]:
        options.add_argument(argument)
    driver = webdriver.Chrome(service=Service("/usr/bin/chromedriver"), options=options)
    driver.set_script_timeout(120)
    driver.set_window_size(900, 1400)
    return driver


def choose(driver, paths):
    chooser = driver.find_element(By.ID, "files")
    driver.execute_script("arguments[0].value = ''", chooser)
    chooser.send_keys("\n".join(paths))


def job_of(driver, name):
    """The job element of the input file `name`: the newest whose title starts with it."""
    for job in reversed(driver.find_elements(By.CLASS_NAME, "q73-job")):
        title = job.find_element(By.CLASS_NAME, "q73-name").text
        if title == name or title.startswith(name + " \u2192 "):
            return job
    return None


def ended(job):
    return bool(job.find_elements(By.CSS_SELECTOR, ".q73-result, .q73-error"))


def wait_ended(driver, count, seconds):
    """Waits until the page has `count` jobs and the newest `count` have all ended."""
    end = time.time() + seconds
    while time.time() < end:
        jobs = driver.find_elements(By.CLASS_NAME, "q73-job")[-count:]
        if len(jobs) == count and all(ended(job) for job in jobs):
            return True
        time.sleep(0.5)
    return False


FETCH_DIGEST = """
const done = arguments[arguments.length - 1];
fetch(arguments[0]).then((r) => r.arrayBuffer()).then((b) => crypto.subtle.digest("SHA-256", b))
  .then((d) => done(Array.from(new Uint8Array(d), (x) => x.toString(16).padStart(2, "0")).join("")))
  .catch((e) => done("failed: " + e));
"""


def check_jobs(driver, jobs):
    for path, expected in jobs.items():
        name = os.path.basename(path)
        job = job_of(driver, name)
        if job is None:
            check(False, name + ": no job on the page")
            continue
        if isinstance(expected, str):
            errors = job.find_elements(By.CLASS_NAME, "q73-error")
            check(bool(errors) and errors[0].text == expected and not job.find_elements(By.CLASS_NAME, "q73-result"),
                  "%s shows %r" % (name, expected))
            continue
        out_name, digest, native_lines = expected
        links = job.find_elements(By.CLASS_NAME, "q73-result")
        if not links:
            check(False, "%s: no result (%s)" % (name, job.text))
            continue
        link = links[0]
        href = link.get_attribute("href")
        check(link.get_attribute("download") == out_name and href.startswith("blob:"),
              "%s is saved as %s (page: %s)" % (name, out_name, link.get_attribute("download")))
        check(driver.execute_async_script(FETCH_DIGEST, href) == digest,
              "%s -> %s has the native program's bytes" % (name, out_name))
        lines = job.find_element(By.CLASS_NAME, "q73-lines").text.splitlines()
        elapsed = re.fullmatch(r"Elapsed Time: \d+\.\d\d sec\.", lines[-1] if lines else "")
        check(lines[:-1] == native_lines[:-1] and len(lines) == len(native_lines) and elapsed is not None,
              "%s shows the native program's result lines %r" % (name, lines))


def check_cancel(driver, big):
    choose(driver, [big])
    job = driver.find_elements(By.CLASS_NAME, "q73-job")[-1]
    progress = job.find_element(By.TAG_NAME, "progress")
    end = time.time() + 20
    while float(progress.get_attribute("value") or 0) == 0 and time.time() < end:
        time.sleep(0.05)
    check(float(progress.get_attribute("value") or 0) > 0, "a running job shows its progress")
    job.find_element(By.CLASS_NAME, "q73-cancel").click()
    time.sleep(1)
    check(job.find_element(By.CLASS_NAME, "q73-status").text == "Cancelled"
          and not job.find_elements(By.CSS_SELECTOR, ".q73-result, .q73-error, .q73-cancel"),
          "a job cancelled while it runs ends with no result")


def check_without_workers(driver, jobs):
    """Where a worker cannot be made, the jobs run on the page itself, to the same results."""
    driver.execute_cdp_cmd("Page.addScriptToEvaluateOnNewDocument", {
        "source": "window.Worker = function () { throw new Error('no workers here'); };"})
    driver.get(driver.current_url)
    check("no workers here" in driver.execute_script("return String(window.Worker)"), "the page has no workers")
    some = {p: e for p, e in jobs.items()
            if os.path.basename(p) in ("alice29.txt", "kppkn.Q73", "damaged.Q73", "notes.q73")}
    choose(driver, list(some))
    check(wait_ended(driver, len(some), 120), "without workers, every job ends")
    check_jobs(driver, some)


def main():
    parser = argparse.ArgumentParser()
    parser.add_argument("page")
    parser.add_argument("native")
    parser.add_argument("corpus")
    parser.add_argument("--screenshot")
    args = parser.parse_args()
    scratch = tempfile.mkdtemp(prefix="q73-page-")
    driver = None
    try:
        jobs, big = prepare(os.path.abspath(args.native), os.path.abspath(args.corpus), scratch)
        driver = browser()
        driver.get("file://" + os.path.abspath(args.page))
        started = time.time()
        choose(driver, list(jobs))
        check(wait_ended(driver, len(jobs), 600), "every job ends (%.1f s)" % (time.time() - started))
        check_jobs(driver, jobs)
        check(driver.execute_script("return performance.getEntriesByType('resource').length") == 0,
              "the page fetched nothing")
        if args.screenshot:
            driver.execute_script("window.scrollTo(0, 0)")
            driver.save_screenshot(args.screenshot)
        check_cancel(driver, big)
        # The worker stopped by Cancel is replaced: the next job still runs.
        choose(driver, [p for p in jobs if os.path.basename(p) == "alice29.txt"])
        check(wait_ended(driver, 1, 60) and
              driver.find_elements(By.CLASS_NAME, "q73-job")[-1].find_elements(By.CLASS_NAME, "q73-result"),
              "a job after a cancelled one ends with its result")
        check_without_workers(driver, jobs)
    finally:
        if driver:
            driver.quit()
        shutil.rmtree(scratch, ignore_errors=True)
    print("%d failed" % len(failures) if failures else "all passed")
    sys.exit(1 if failures else 0)


if __name__ == "__main__":
    main()
