// Sends 200 MB, made of the corpus files (the folder given as the argument),
// through compressStream and then expandStream, in pieces of varied sizes,
// and prints as JSON the bytes that came out, whether they are the bytes
// that went in (by their SHA-256), and the process's peak resident memory.
// Run as a process of its own, so that the peak is this job's alone.
import { createHash } from "node:crypto";
import fs from "node:fs";
import path from "node:path";
import { compressStream, expandStream } from "q73";

const total = 200 * 2 ** 20;
const folder = process.argv[2];
const corpus = Buffer.concat(fs.readdirSync(folder).sort().map((name) => fs.readFileSync(path.join(folder, name))));

const sent = createHash("sha256");
let made = 0;
let turn = 0;
const source = new ReadableStream({
    pull(controller) {
        if (made === total) {
            controller.close();
            return;
        }
        // A different stretch of the corpus each time, between 1 byte and 1 MB.
        turn += 1;
        const start = (turn * 7919) % corpus.length;
        const size = Math.min(total - made, corpus.length - start, 1 + ((turn * 104729) % (1 << 20)));
        const piece = new Uint8Array(corpus.buffer, corpus.byteOffset + start, size).slice();
        sent.update(piece);
        made += size;
        controller.enqueue(piece);
    },
});

const received = createHash("sha256");
let bytes = 0;
await source
    .pipeThrough(compressStream({ size: total }))
    .pipeThrough(expandStream())
    .pipeTo(new WritableStream({
        write(piece) {
            received.update(piece);
            bytes += piece.length;
        },
    }));

console.log(JSON.stringify({
    bytes,
    same: sent.digest("hex") === received.digest("hex"),
    peakRss: process.resourceUsage().maxRSS * 1024,
}));
