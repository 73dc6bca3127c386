// Puts the web build together from the emscripten loader and its wasm:
//   node web/build.mjs CORE_DIR OUT_DIR VERSION
// CORE_DIR holds q73-core.js and q73-core.wasm; OUT_DIR gets q73.html (the
// page, with everything inside it) and npm/ (the package q73).
import fs from "node:fs";
import path from "node:path";
import { fileURLToPath } from "node:url";

const [coreDir, outDir, version] = process.argv.slice(2);
if (!version) {
    console.error("usage: node web/build.mjs CORE_DIR OUT_DIR VERSION");
    process.exit(2);
}
const here = path.dirname(fileURLToPath(import.meta.url));
const source = (name) => fs.readFileSync(path.join(here, name), "utf8");

const loader = fs.readFileSync(path.join(coreDir, "q73-core.js"), "utf8");
const wasmBase64 = fs.readFileSync(path.join(coreDir, "q73-core.wasm")).toString("base64");
const names = source("names.js");
const api = source("q73-api.js");

/**** The package ****/

const npmDir = path.join(outDir, "npm");
fs.rmSync(npmDir, { recursive: true, force: true });
fs.mkdirSync(npmDir, { recursive: true });

const moduleText = `// q73 ${version}: the Q73 codec as WebAssembly, for Node 18+ and current browsers.
// Built by scripts/web.sh; the sources are in web/ of the Q73 tree.
${loader}
${names}
${api}
const q73 = makeQ73(await Q73Core({
    wasmBinary: Uint8Array.from(atob("${wasmBase64}"), (c) => c.charCodeAt(0)),
}));
export const { version, compress, expand, readHeader, compressStream, expandStream } = q73;
export { Q73Error, compressedName, restoredName };
`;
fs.writeFileSync(path.join(npmDir, "q73.js"), moduleText);
fs.copyFileSync(path.join(here, "q73.d.ts"), path.join(npmDir, "q73.d.ts"));
fs.writeFileSync(path.join(npmDir, "README.md"), source("npm-README.md").replaceAll("@VERSION@", version));
const manifest = JSON.parse(source("package.json.in"));
manifest.version = version;
fs.writeFileSync(path.join(npmDir, "package.json"), JSON.stringify(manifest, null, 2) + "\n");

/**** The page ****/

// A script element's text ends at the first "</script"; "<!--" changes how
// the parser reads it.  Neither may occur in what goes inside.
function scriptText(text, what) {
    if (/<\/script|<!--/i.test(text)) throw new Error(what + " cannot go inside a script element");
    return text;
}

const workerScript = [loader, names, api, source("worker.js")].join("\n");
const pageScript = source("page.js");
const parts = {
    "@VERSION@": version,
    "@WASM_BASE64@": wasmBase64,
    "@WORKER_SCRIPT@": scriptText(workerScript, "the worker's script"),
    "@PAGE_SCRIPT@": scriptText(pageScript, "the page's script"),
};
// Each mark is replaced once, by a function: no "$" in the scripts is read
// as a pattern.
let page = source("page.html");
for (const [mark, text] of Object.entries(parts)) {
    if (page.split(mark).length !== 2) throw new Error("page.html must hold " + mark + " once");
    page = page.replace(mark, () => text);
}
fs.writeFileSync(path.join(outDir, "q73.html"), page);
console.log(`q73.html: ${page.length} bytes; npm/q73.js: ${moduleText.length} bytes`);
