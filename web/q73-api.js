// The module's functions over one instance of the WebAssembly codec.
//
// Plain script, no import or export: scripts/web.sh puts it into the ES
// module and into the page's worker, after the emscripten loader.
//
// Every job, in one piece or as a stream, runs on a push coder of its own:
// its input goes into the wasm memory a piece at a time (at most kPiece
// bytes), and each block the coder finishes comes back through
// core.q73Output, which copies it out at once.  The wasm memory therefore
// holds one input piece and one coder (about 3 MB) for each running job,
// whatever the size of the data.

const kResultNames = ["OK", "BAD_DATA", "SHORT_OUTPUT", "TOO_LARGE", "NO_MEMORY",
                      "READ_FAILED", "WRITE_FAILED", "STOPPED", "BAD_ARGUMENT"];
const Q73_NO_MEMORY = 4, Q73_WRITE_FAILED = 6, Q73_STOPPED = 7, Q73_BAD_ARGUMENT = 8;
const kMaxHeaderSize = 9;

// An Error whose `code` names the library's result ("BAD_DATA", ...).
class Q73Error extends Error {
    constructor(message, code, options) {
        super(message, options);
        this.name = "Q73Error";
        this.code = code;
    }
}

function makeQ73(core) {
    // Bytes pushed into the coder at once: the most a job puts into the wasm
    // memory.  An expander's piece is smaller, as a few compressed bytes may
    // stand for many blocks (a block of zeros takes less than 100 bytes);
    // an expanding stream's steps smaller still, as all that a push writes
    // is queued at once: 1 KB never stands for more than about 6 MB.
    const kPiece = 1 << 20;
    const kExpandPiece = 1 << 16;
    const kExpandStep = 1 << 10;
    // A stream whose readable side holds more than this stops taking input
    // until it is read.
    const kStreamQueue = 4 << 20;

    // Room for a header read and for the extension of a new job.  A job's
    // input has room of its own: a job may be pushed while another one's
    // push is under way (a stream that feeds another one, as its output is
    // taken at once), so the input pushed before must stay where it is.
    const scratch = core._malloc(16);
    const headIn = core._malloc(16);
    // Job id -> WeakRef of the job: a stream that its owner drops without
    // ending it is collected with its job, whose coder `orphans` then frees.
    const jobs = new Map();
    const orphans = new FinalizationRegistry((handle) => closeHandle(handle));
    let nextId = 1;

    // A job's `take` gets a view into the wasm memory, valid only until it
    // returns: it copies what it keeps.
    core.q73Output = (id, data, size) => {
        const job = jobs.get(id).deref();
        try {
            job.take(core.HEAPU8.subarray(data, data + size));
            return 0;
        } catch (error) {
            job.failure = error;
            return 1;
        }
    };

    function cString(pointer) {
        const heap = core.HEAPU8;
        let end = pointer;
        while (heap[end] !== 0) ++end;
        return new TextDecoder().decode(heap.subarray(pointer, end));
    }

    function resultError(result, cause) {
        const code = kResultNames[result] || String(result);
        return new Q73Error(cString(core._q73w_result_text(result)), code,
                            cause === undefined ? undefined : { cause });
    }

    function badArgument(what) {
        return resultError(Q73_BAD_ARGUMENT, new TypeError(what));
    }

    function asBytes(data, what) {
        if (data instanceof Uint8Array) return data;
        if (data instanceof ArrayBuffer) return new Uint8Array(data);
        if (ArrayBuffer.isView(data)) return new Uint8Array(data.buffer, data.byteOffset, data.byteLength);
        throw badArgument(what + " must be a Uint8Array, an ArrayBuffer or a view of one");
    }

    function readScratchHeader() {
        const heap = core.HEAPU8;
        const view = new DataView(heap.buffer, scratch, 16);
        let end = 12;
        while (end < 15 && heap[scratch + end] !== 0) ++end;
        return {
            originalSize: view.getFloat64(0, true),
            extension: new TextDecoder().decode(heap.subarray(scratch + 12, scratch + end)),
            headerSize: view.getUint32(8, true),
        };
    }

    // A job: a coder and the function its output goes to.  `extension` is
    // written as its UTF-8 bytes, so that a string of three bytes is three
    // characters to the library and anything else is refused by it.
    function openJob(expand, size, extension, take) {
        let extensionPointer = 0;
        if (extension !== undefined && extension !== null) {
            if (typeof extension !== "string") throw badArgument("extension must be a string");
            const bytes = new TextEncoder().encode(extension).subarray(0, 4);
            core.HEAPU8.set(bytes, scratch);
            core.HEAPU8[scratch + bytes.length] = 0;
            extensionPointer = scratch;
        }
        if (!expand) {
            if (typeof size === "bigint") size = Number(size);
            if (typeof size !== "number" || !Number.isInteger(size) || size < 0) {
                throw badArgument("size must be a whole number of bytes");
            }
        }
        const id = nextId++;
        const pointer = core._q73w_open(expand ? 1 : 0, expand ? 0 : size, extensionPointer, id);
        if (pointer <= 0) throw resultError(-pointer);
        const pieceSize = expand ? kExpandPiece : kPiece;
        const input = core._malloc(pieceSize);
        if (input === 0) {
            core._q73w_close(pointer);
            throw resultError(Q73_NO_MEMORY);
        }
        // The coder is in `handle`, apart from `take`, which may hold the
        // stream: the registry of orphans must not keep that alive.
        const job = { handle: { pointer, id, input }, pieceSize, take, failure: undefined };
        jobs.set(id, new WeakRef(job));
        orphans.register(job, job.handle);
        return job;
    }

    function closeHandle(handle) {
        if (handle.pointer === 0) return;
        core._q73w_close(handle.pointer);
        core._free(handle.input);
        jobs.delete(handle.id);
        handle.pointer = 0;
    }

    function closeJob(job) {
        closeHandle(job.handle);
    }

    function check(job, result) {
        if (result === 0) return;
        // A write that failed for a reason of the library's own gives that
        // reason; any other failure is given as the cause.
        if (result === Q73_WRITE_FAILED && job.failure instanceof Q73Error) throw job.failure;
        throw resultError(result, result === Q73_WRITE_FAILED ? job.failure : undefined);
    }

    // Pushes `bytes`, at most job.pieceSize of them.
    function push(job, bytes) {
        core.HEAPU8.set(bytes, job.handle.input);
        check(job, core._q73w_push(job.handle.pointer, job.handle.input, bytes.length));
    }

    function finish(job) {
        check(job, core._q73w_finish(job.handle.pointer));
    }

    function done(job) {
        return core._q73w_done(job.handle.pointer);
    }

    // The expander's header once it has been pushed, else undefined.
    function jobHeader(job) {
        const result = core._q73w_header(job.handle.pointer, scratch);
        if (result !== 0) return undefined;
        return readScratchHeader();
    }

    // Lets the event loop run: a progress display then gets drawn, and
    // another job gets its turn.
    const nextTask = typeof setImmediate === "function"
        ? () => new Promise((resolve) => setImmediate(resolve))
        : () => new Promise((resolve) => setTimeout(resolve, 0));

    function report(onProgress, job, total) {
        if (onProgress && onProgress(done(job), total) === false) throw resultError(Q73_STOPPED);
    }

    async function runWhole(job, bytes, onProgress, totalOf) {
        for (let at = 0; at < bytes.length; at += job.pieceSize) {
            push(job, bytes.subarray(at, Math.min(at + job.pieceSize, bytes.length)));
            const total = totalOf();
            if (onProgress && total !== undefined) {
                report(onProgress, job, total);
                await nextTask();
            }
        }
        finish(job);
        const total = totalOf();
        if (total !== undefined) report(onProgress, job, total);
    }

    async function compress(data, { extension, onProgress } = {}) {
        const bytes = asBytes(data, "data");
        const pieces = [];
        let length = 0;
        const job = openJob(false, bytes.length, extension, (piece) => {
            pieces.push(piece.slice());
            length += piece.length;
        });
        try {
            await runWhole(job, bytes, onProgress, () => bytes.length);
        } finally {
            closeJob(job);
        }
        const out = new Uint8Array(length);
        let at = 0;
        for (const piece of pieces) {
            out.set(piece, at);
            at += piece.length;
        }
        return out;
    }

    async function expand(data, { onProgress } = {}) {
        const bytes = asBytes(data, "data");
        // The header says how long the original is: it is written straight
        // into an array of that length.
        const { originalSize } = readHeader(bytes);
        let out;
        try {
            out = new Uint8Array(originalSize);
        } catch (error) {
            throw resultError(Q73_NO_MEMORY, error);
        }
        let at = 0;
        const job = openJob(true, 0, undefined, (piece) => {
            out.set(piece, at);
            at += piece.length;
        });
        try {
            await runWhole(job, bytes, onProgress, () => originalSize);
        } finally {
            closeJob(job);
        }
        return out;
    }

    function readHeader(data) {
        const bytes = asBytes(data, "data");
        const head = bytes.subarray(0, kMaxHeaderSize);
        core.HEAPU8.set(head, headIn);
        const result = core._q73w_read_header(headIn, head.length, scratch);
        if (result !== 0) throw resultError(result);
        return readScratchHeader();
    }

    function readableFull(controller) {
        return controller.desiredSize !== null && controller.desiredSize < -kStreamQueue;
    }

    async function readableRoom(controller) {
        while (readableFull(controller)) await new Promise((resolve) => setTimeout(resolve, 1));
    }

    function codingStream(expand, size, extension, onProgress, onHeader) {
        let job = null;
        let header;  // an expander's, once known
        const totalOf = () => expand ? header && header.originalSize : size;
        const fail = (error) => {
            if (job) closeJob(job);
            throw error;
        };
        return new TransformStream({
            start(controller) {
                try {
                    job = openJob(expand, size, extension, (piece) => controller.enqueue(piece.slice()));
                } catch (error) {
                    controller.error(error);
                }
            },
            async transform(chunk, controller) {
                try {
                    const bytes = asBytes(chunk, "a piece");
                    const step = expand ? kExpandStep : job.pieceSize;
                    for (let at = 0; at < bytes.length; at += step) {
                        push(job, bytes.subarray(at, Math.min(at + step, bytes.length)));
                        if (expand && header === undefined) {
                            header = jobHeader(job);
                            if (header !== undefined && onHeader) onHeader(header);
                        }
                        if (totalOf() !== undefined) report(onProgress, job, totalOf());
                        if (readableFull(controller)) await readableRoom(controller);
                    }
                } catch (error) {
                    fail(error);
                }
            },
            flush() {
                try {
                    finish(job);
                    if (totalOf() !== undefined) report(onProgress, job, totalOf());
                } catch (error) {
                    fail(error);
                }
                closeJob(job);
            },
            cancel() {
                if (job) closeJob(job);
            },
        }, undefined, { highWaterMark: 1 << 20, size: (piece) => piece.length });
    }

    function compressStream({ size, extension, onProgress } = {}) {
        return codingStream(false, size, extension, onProgress);
    }

    function expandStream({ onProgress, onHeader } = {}) {
        return codingStream(true, 0, undefined, onProgress, onHeader);
    }

    return {
        version: cString(core._q73w_version()),
        compress,
        expand,
        readHeader,
        compressStream,
        expandStream,
    };
}
