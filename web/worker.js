// One job of the page: a file compressed or expanded, as the programs decide
// by its name.  Runs in a worker made from the page (after the emscripten
// loader, names.js and q73-api.js), or on the page itself where it cannot
// have one.
//
// The file is read as a stream of pieces and the output kept as Blob parts,
// folded into a Blob every kFold bytes: what the job holds in memory does
// not grow with the file (the browser keeps a large Blob on disk).

const kMsgNotCompressed = "ERROR: File is not compressed with this version of Q73";
const kMsgDamaged = "ERROR: Compressed file is damaged or truncated";
const kMsgSameName = "ERROR: Compressed file is damaged (it would be restored over itself)";
const kMsgTooLarge = "ERROR: File is too large (2 GB or more) to compress";
const kMsgReadFailed = "ERROR: Can't read in file";
const kMsgWriteFailed = "ERROR: Can't write outfile (is the disk full?)";
const kMsgNoMemory = "ERROR: Not enough memory";
const kFold = 16 << 20;
const kProgressInterval = 100;  // milliseconds between progress messages

// A job's failure, with the text the page shows.
class JobError extends Error {}

// The programs' text for what ended a job.
function errorText(error) {
    if (error instanceof JobError) return error.message;
    if (error && typeof error.code === "string") {  // the library's result
        switch (error.code) {
            case "READ_FAILED": return kMsgReadFailed;
            case "WRITE_FAILED": return kMsgWriteFailed;
            case "NO_MEMORY": return kMsgNoMemory;
            case "TOO_LARGE": return kMsgTooLarge;
            default: return kMsgDamaged;
        }
    }
    if (error instanceof RangeError) return kMsgNoMemory;
    // The browser could not read the file (it was changed or removed).
    if (error && (error.name === "NotReadableError" || error.name === "NotFoundError")) return kMsgReadFailed;
    return "ERROR: " + (error && error.message ? error.message : String(error));
}

function sameNameIgnoringCase(a, b) {
    const fold = (s) => s.replace(/[A-Z]/g, (c) => c.toLowerCase());
    return fold(a) === fold(b);
}

// What the job of `file` makes: { expand, name, extension, total }.
async function planJob(q73, file) {
    if (!isCompressedName(file.name)) {
        if (file.size >= 2 ** 31) throw new JobError(kMsgTooLarge);
        const { name, extension } = compressedName(file.name);
        return { expand: false, name, extension, total: file.size };
    }
    const head = new Uint8Array(await file.slice(0, 9).arrayBuffer());
    if (head.length === 0 || (head[0] & 0x80) === 0) throw new JobError(kMsgNotCompressed);
    let header;
    try {
        header = q73.readHeader(head);
    } catch (error) {
        throw new JobError(kMsgDamaged);
    }
    const name = restoredName(file.name, header.extension);
    if (sameNameIgnoringCase(name, file.name)) throw new JobError(kMsgSameName);
    return { expand: true, name, extension: null, total: header.originalSize };
}

// Runs the job of `file`, telling `post` about it: { type: "start", expand,
// name, total }, { type: "progress", done, total }, then { type: "done",
// name, blob, lines } or { type: "error", text }.  The job stops when
// `stopped` returns true.
async function runJob(q73, file, post, stopped = () => false) {
    try {
        const started = performance.now();
        const plan = await planJob(q73, file);
        post({ type: "start", expand: plan.expand, name: plan.name, total: plan.total });
        let shown = 0;
        const onProgress = (done, total) => {
            if (stopped()) return false;
            const now = performance.now();
            if (now - shown >= kProgressInterval) {
                shown = now;
                post({ type: "progress", done, total });
            }
        };
        const coding = plan.expand ? q73.expandStream({ onProgress })
            : q73.compressStream({ size: file.size, extension: plan.extension, onProgress });
        const reader = file.stream().pipeThrough(coding).getReader();
        const blobs = [];
        let pieces = [];
        let held = 0;
        let length = 0;
        for (;;) {
            const { done, value } = await reader.read();
            if (done) break;
            pieces.push(value);
            held += value.length;
            length += value.length;
            if (held >= kFold) {
                blobs.push(new Blob(pieces));
                pieces = [];
                held = 0;
            }
        }
        const blob = new Blob(blobs.concat(pieces), { type: "application/octet-stream" });
        const elapsed = performance.now() - started;
        const lines = plan.expand ? expansionLines(elapsed)
            : compressionLines(file.size, length, elapsed);
        post({ type: "done", name: plan.name, blob, lines });
    } catch (error) {
        post({ type: "error", text: errorText(error) });
    }
}

// In a worker: the page sends the codec's bytes once, then one file per job.
if (typeof WorkerGlobalScope !== "undefined" && self instanceof WorkerGlobalScope) {
    let ready = null;
    self.onmessage = async (event) => {
        const message = event.data;
        if (message.wasm) {
            ready = Q73Core({ wasmBinary: new Uint8Array(message.wasm) }).then(makeQ73);
            try {
                await ready;
                self.postMessage({ type: "ready" });
            } catch (error) {
                self.postMessage({ type: "failed", text: String(error) });
            }
            return;
        }
        const q73 = await ready;
        await runJob(q73, message.file, (reply) => self.postMessage({ id: message.id, ...reply }));
    };
}
