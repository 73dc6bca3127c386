// The module's speed in Node: FILE compressed and expanded in memory with
// the package in build/web/npm, best of RUNS; prints JSON MB/s each way.
//   node bench/web_bench.mjs FILE [RUNS]
import fs from "node:fs";
import { pathToFileURL } from "node:url";

const [file, runs = "3"] = process.argv.slice(2);
const root = new URL("..", import.meta.url);
const q73 = await import(new URL("build/web/npm/q73.js", root));
const original = new Uint8Array(fs.readFileSync(file));
const megabytes = original.length / 1048576;
let compressing = Infinity;
let expanding = Infinity;
for (let run = 0; run < Number(runs); ++run) {
    let start = performance.now();
    const packed = await q73.compress(original);
    compressing = Math.min(compressing, performance.now() - start);
    start = performance.now();
    const restored = await q73.expand(packed);
    expanding = Math.min(expanding, performance.now() - start);
    if (Buffer.compare(Buffer.from(restored), original) !== 0) throw new Error("not the original");
}
console.log(JSON.stringify({
    compress: megabytes / (compressing / 1000),
    expand: megabytes / (expanding / 1000),
    node: process.version,
    version: q73.version,
    file: pathToFileURL(file).pathname,
}));
