// The package q73 as a program that installed it uses it: the same bytes as
// the native program both ways, the streams fed pieces of random sizes, the
// errors with their codes, and 200 MB through both streams in flat memory.
// run.sh installs the packed package beside this file and sets Q73_NATIVE
// to the native program and Q73_CORPUS to the folder of real files.
import assert from "node:assert/strict";
import { execFileSync } from "node:child_process";
import fs from "node:fs";
import { createRequire } from "node:module";
import os from "node:os";
import path from "node:path";
import { test } from "node:test";
import { fileURLToPath } from "node:url";
import * as q73 from "q73";

const here = path.dirname(fileURLToPath(import.meta.url));
const native = process.env.Q73_NATIVE;
const corpus = process.env.Q73_CORPUS;
assert.ok(native && corpus, "Q73_NATIVE and Q73_CORPUS must be set");
const corpusFiles = fs.readdirSync(corpus).sort().map((name) => path.join(corpus, name));
const scratch = fs.mkdtempSync(path.join(os.tmpdir(), "q73-module-"));
process.on("exit", () => fs.rmSync(scratch, { recursive: true, force: true }));

// The native program's output for `file` (a name ending in .Q73 expands).
function nativeOutput(file) {
    return new Uint8Array(execFileSync(native, ["-T1", "-q", "-c", file], { maxBuffer: 1 << 30 }));
}

// All corpus files in one, so that a stream crosses several blocks.
const joinedPath = path.join(scratch, "joined");
fs.writeFileSync(joinedPath, Buffer.concat(corpusFiles.map((file) => fs.readFileSync(file))));

// A generator that starts from a given number, so that a failure can be run again as it was.
function random(start) {
    let x = start >>> 0 || 1;
    return () => {
        x ^= x << 13;
        x ^= x >>> 17;
        x ^= x << 5;
        return (x >>> 0) / 4294967296;
    };
}

// `bytes` in pieces from 0 bytes up to about 3 blocks, through `stream`.
async function throughStream(bytes, stream, start) {
    const next = random(start);
    const pieces = [];
    for (let at = 0; at < bytes.length;) {
        const size = Math.min(bytes.length - at, Math.floor(next() ** 3 * 1600000));
        pieces.push(bytes.subarray(at, at + size));
        at += size;
    }
    const source = new ReadableStream({
        pull(controller) {
            if (pieces.length === 0) controller.close();
            else controller.enqueue(pieces.shift());
        },
    });
    const out = await new Response(source.pipeThrough(stream)).arrayBuffer();
    return new Uint8Array(out);
}

async function rejection(promise) {
    try {
        await promise;
    } catch (error) {
        return error;
    }
    assert.fail("expected a failure");
}

test("compress and expand give the native program's bytes on every corpus file", async () => {
    for (const file of corpusFiles) {
        const original = new Uint8Array(fs.readFileSync(file));
        const { name, extension } = q73.compressedName(path.basename(file));
        const expected = nativeOutput(file);
        assert.deepEqual(await q73.compress(original, { extension }), expected, file);
        const copy = path.join(scratch, name);
        fs.writeFileSync(copy, expected);
        assert.deepEqual(await q73.expand(expected), nativeOutput(copy), file);
        assert.deepEqual(q73.readHeader(expected), {
            originalSize: original.length,
            extension: extension || "",
            headerSize: 5 + (original.length & 1) + (extension ? 3 : 0),
        });
    }
});

test("the streams give the same bytes whatever the sizes of the pieces", async () => {
    const original = new Uint8Array(fs.readFileSync(joinedPath));
    const expected = nativeOutput(joinedPath);
    for (const start of [1, 2, 3]) {
        const compressed = await throughStream(original, q73.compressStream({ size: original.length }), start);
        assert.deepEqual(compressed, expected, "compress, start " + start);
        let header;
        const expanded = await throughStream(expected, q73.expandStream({ onHeader: (h) => { header = h; } }),
                                             start + 10);
        assert.deepEqual(expanded, original, "expand, start " + start);
        assert.equal(header.originalSize, original.length);
    }
    // An empty input and a one-byte one: header only, and the raw first byte.
    for (const bytes of [new Uint8Array(0), new Uint8Array([65])]) {
        const compressed = await throughStream(bytes, q73.compressStream({ size: bytes.length, extension: "txt" }), 5);
        assert.deepEqual(compressed, await q73.compress(bytes, { extension: "txt" }));
        assert.deepEqual(await throughStream(compressed, q73.expandStream(), 6), bytes);
    }
});

test("progress rises to the total, and a false from it stops the job", async () => {
    const original = new Uint8Array(fs.readFileSync(joinedPath));
    const seen = [];
    await q73.compress(original, { onProgress: (done, total) => { seen.push([done, total]); } });
    assert.ok(seen.length > 2);
    assert.deepEqual(seen.at(-1), [original.length, original.length]);
    assert.ok(seen.every(([done], i) => i === 0 || done >= seen[i - 1][0]));
    const stopped = await rejection(q73.compress(original, { onProgress: () => false }));
    assert.equal(stopped.code, "STOPPED");
});

test("failures carry the library's result as their code", async () => {
    const original = new Uint8Array(fs.readFileSync(joinedPath));
    const good = nativeOutput(joinedPath);
    const messages = new Map();
    const expectCode = (error, code) => {
        assert.ok(error instanceof Error && error instanceof q73.Q73Error, String(error));
        assert.equal(error.code, code);
        assert.ok(error.message.length > 0);
        // One text for each result.
        if (messages.has(code)) assert.equal(error.message, messages.get(code));
        messages.set(code, error.message);
    };

    expectCode(await rejection(q73.expand(original)), "BAD_DATA");
    expectCode(await rejection(q73.expand(good.subarray(0, good.length - 1))), "BAD_DATA");
    const damaged = good.slice();
    damaged.fill(0xff, 20, 60);
    expectCode(await rejection(q73.expand(damaged)), "BAD_DATA");
    expectCode(await rejection(throughStream(damaged, q73.expandStream(), 7)), "BAD_DATA");
    expectCode(await rejection(throughStream(good.subarray(0, 4), q73.expandStream(), 7)), "BAD_DATA");
    assert.throws(() => q73.readHeader(original), (error) => error.code === "BAD_DATA");

    for (const extension of ["tx", "text", "a/b", "a:b", "a\u0001b", 7]) {
        expectCode(await rejection(q73.compress(original, { extension })), "BAD_ARGUMENT");
    }
    expectCode(await rejection(q73.compress("not bytes")), "BAD_ARGUMENT");
    expectCode(await rejection(throughStream(original, q73.compressStream({ size: -1 }), 8)), "BAD_ARGUMENT");
    expectCode(await rejection(throughStream(original, q73.compressStream({ size: 2 ** 31 }), 8)), "TOO_LARGE");
    expectCode(await rejection(throughStream(original, q73.compressStream({ size: original.length - 1 }), 8)),
               "READ_FAILED");
    expectCode(await rejection(throughStream(original, q73.compressStream({ size: original.length + 1 }), 8)),
               "READ_FAILED");
    assert.equal(new Set(messages.values()).size, messages.size, "each code its own text");
});

test("200 MB go through both streams with the process under 160 MB", () => {
    const report = execFileSync(process.execPath, [path.join(here, "stream_memory.mjs"), corpus],
                                { encoding: "utf8", cwd: here });
    const { bytes, same, peakRss } = JSON.parse(report);
    assert.equal(bytes, 200 * 2 ** 20);
    assert.ok(same, "the expanded bytes are the original");
    assert.ok(peakRss < 160 * 2 ** 20, "peak RSS " + (peakRss / 2 ** 20).toFixed(1) + " MB");
    console.log("200 MB through the streams: peak RSS " + (peakRss / 2 ** 20).toFixed(1) + " MB");
});

test("the package says the library's version", async () => {
    const manifest = createRequire(import.meta.url)("q73/package.json");
    assert.match(q73.version, /^\d+\.\d+\.\d+$/);
    assert.equal(manifest.version, q73.version);
});
