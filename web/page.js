// The page: each file chosen or dropped becomes a job, shown as an element
// of class q73-job, and runs in one of a few workers made from the page's
// own script element #q73-worker (the codec's bytes are in #q73-wasm).
// Where a worker cannot be had, the jobs run on the page, one at a time.
"use strict";

(() => {
    const workerSource = document.getElementById("q73-worker").textContent;
    const wasm = Uint8Array.from(atob(document.getElementById("q73-wasm").textContent.trim()),
                                 (c) => c.charCodeAt(0));
    const jobList = document.getElementById("jobs");
    const announcer = document.getElementById("announce");
    // One worker for each processor, up to four, leaving one to the page
    // where there are several.
    const cores = navigator.hardwareConcurrency || 1;
    const poolSize = Math.max(1, Math.min(4, cores > 2 ? cores - 1 : cores));

    const waiting = [];       // jobs not yet started
    const workers = [];       // { worker, job } for each worker
    let onPage = null;        // { runJob, q73 } once jobs run on the page
    let pageBusy = false;
    let nextId = 1;

    /**** A job's element ****/

    function element(tag, className, text) {
        const node = document.createElement(tag);
        if (className) node.className = className;
        if (text !== undefined) node.textContent = text;
        return node;
    }

    function newJob(file) {
        const job = { id: nextId++, file, worker: null, ended: false };
        job.node = element("li", "q73-job");
        job.title = element("p", "q73-name", file.name);
        job.status = element("p", "q73-status", "Waiting");
        job.progress = element("progress", "q73-progress");
        job.progress.setAttribute("aria-label", "Progress of " + file.name);
        job.cancel = element("button", "q73-cancel", "Cancel");
        job.cancel.type = "button";
        job.cancel.setAttribute("aria-label", "Cancel " + file.name);
        job.cancel.addEventListener("click", () => cancelJob(job));
        job.node.append(job.title, job.progress, job.status, job.cancel);
        jobList.append(job.node);
        return job;
    }

    // Said once by screen readers, where the progress of every job would be
    // too much to hear.
    function announce(text) {
        announcer.textContent = text;
    }

    function endJob(job) {
        job.ended = true;
        job.progress.remove();
        job.cancel.remove();
    }

    function onMessage(job, message) {
        if (job.ended) return;
        if (message.type === "start") {
            job.title.textContent = job.file.name + " \u2192 " + message.name;
            job.status.textContent = message.expand ? "Expanding\u2026" : "Compressing\u2026";
            job.progress.max = Math.max(1, message.total);
            job.progress.value = 0;
        } else if (message.type === "progress") {
            job.progress.value = message.done;
            job.status.textContent = Math.floor(100 * message.done / Math.max(1, message.total)) + "%";
        } else if (message.type === "done") {
            endJob(job);
            const link = element("a", "q73-result", "Save " + message.name);
            link.download = message.name;
            link.href = URL.createObjectURL(message.blob);
            const lines = element("pre", "q73-lines", message.lines.join("\n"));
            job.status.replaceWith(link, lines);
            announce(message.name + " is ready to save");
        } else if (message.type === "error") {
            endJob(job);
            const error = element("p", "q73-error", message.text);
            error.setAttribute("role", "alert");
            job.status.replaceWith(error);
        }
    }

    /**** Workers ****/

    function newWorker() {
        const url = URL.createObjectURL(new Blob([workerSource], { type: "text/javascript" }));
        const slot = { worker: new Worker(url), job: null, ready: false };
        URL.revokeObjectURL(url);
        slot.worker.onmessage = (event) => {
            const message = event.data;
            if (message.type === "ready") {
                slot.ready = true;
                next();
            } else if (message.type === "failed") {
                giveUpWorkers();
            } else if (slot.job && message.id === slot.job.id) {
                onMessage(slot.job, message);
                if (message.type === "done" || message.type === "error") {
                    slot.job = null;
                    next();
                }
            }
        };
        slot.worker.onerror = (event) => {
            event.preventDefault();
            if (!slot.ready) {
                giveUpWorkers();
                return;
            }
            // A worker that failed outside any job's own checks ends its job
            // and goes; the next job gets a new one.
            slot.worker.terminate();
            workers.splice(workers.indexOf(slot), 1);
            if (slot.job) onMessage(slot.job, { type: "error", text: "ERROR: " + (event.message || "the worker stopped") });
            next();
        };
        slot.worker.postMessage({ wasm: wasm.buffer.slice(0) });
        return slot;
    }

    // Workers failed to start (a browser that refuses them to a page opened
    // from disk): the jobs run on the page instead.
    function giveUpWorkers() {
        if (onPage) return;
        for (const slot of workers.splice(0)) {
            slot.worker.terminate();
            if (slot.job) waiting.unshift(slot.job);
        }
        const made = new Function(workerSource + "\nreturn { Q73Core, makeQ73, runJob };")();
        onPage = made.Q73Core({ wasmBinary: wasm }).then((core) => ({
            runJob: made.runJob, q73: made.makeQ73(core) }));
        next();
    }

    async function runOnPage() {
        if (pageBusy || waiting.length === 0) return;
        pageBusy = true;
        const { runJob, q73 } = await onPage;
        for (let job = nextWaiting(); job; job = nextWaiting()) {
            await runJob(q73, job.file, (message) => onMessage(job, message), () => job.ended);
        }
        pageBusy = false;
    }

    // The next job that was not cancelled while it waited.
    function nextWaiting() {
        let job = waiting.shift();
        while (job && job.ended) job = waiting.shift();
        return job;
    }

    function next() {
        if (onPage) {
            runOnPage();
            return;
        }
        for (const slot of workers) {
            if (!slot.ready || slot.job) continue;
            const job = nextWaiting();
            if (!job) return;
            slot.job = job;
            job.worker = slot;
            slot.worker.postMessage({ id: job.id, file: job.file });
        }
        if (waiting.some((job) => !job.ended) && workers.length < poolSize) {
            try {
                workers.push(newWorker());
            } catch (error) {
                giveUpWorkers();
            }
        }
    }

    function cancelJob(job) {
        if (job.ended) return;
        endJob(job);
        job.status.textContent = "Cancelled";
        const slot = job.worker;
        if (slot && slot.job === job) {
            // A worker is stopped at once; a new one takes its place.
            slot.worker.terminate();
            workers.splice(workers.indexOf(slot), 1);
        }
        next();
    }

    function addFiles(files) {
        for (const file of files) waiting.push(newJob(file));
        next();
    }

    /**** Choosing and dropping ****/

    const chooser = document.getElementById("files");
    chooser.addEventListener("change", () => {
        addFiles(Array.from(chooser.files));
        chooser.value = "";
    });
    document.addEventListener("dragover", (event) => {
        event.preventDefault();
        document.body.classList.add("q73-dropping");
    });
    document.addEventListener("dragleave", (event) => {
        if (event.relatedTarget === null) document.body.classList.remove("q73-dropping");
    });
    document.addEventListener("drop", (event) => {
        event.preventDefault();
        document.body.classList.remove("q73-dropping");
        addFiles(Array.from(event.dataTransfer.files));
    });
})();
