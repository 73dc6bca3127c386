// The programs' rules for names and the lines they show, for the page and
// the module.  Plain script, no import or export (see q73-api.js).
//
// Names are worked on as their UTF-8 bytes, as the Linux program sees them:
// the stored extension is the last three bytes, and the same name gives the
// same .Q73 name and header in the page as on the command line.

const kUtf8 = new TextEncoder();

function utf8Text(bytes) {
    return new TextDecoder().decode(bytes);
}

// True when the name ends in .q73, in any case of its letters: such a file
// is expanded, any other compressed.
function isCompressedName(name) {
    return name.length >= 4 && name.slice(-4).toLowerCase() === ".q73";
}

// Three bytes that hold a control character or a separator are no
// extension: restored, they would name a file in another folder.
function isUnsafeExtension(bytes) {
    for (let i = 0; i < bytes.length && bytes[i] !== 0; ++i) {
        const c = bytes[i];
        if (c < 32 || c === 127 || c === 0x2f || c === 0x5c || c === 0x3a) return true;
    }
    return false;
}

// The name a compression writes, and the extension it stores (null for
// none): notes.txt -> notes.Q73 with "txt", README -> README.Q73.
function compressedName(name) {
    const bytes = kUtf8.encode(name);
    const n = bytes.length;
    const extension = bytes.subarray(n - 3);
    const stored = n >= 4 && bytes[n - 4] === 0x2e && !isUnsafeExtension(extension) &&
                   !isCompressedName(name);
    if (!stored) return { name: name + ".Q73", extension: null };
    return { name: utf8Text(bytes.subarray(0, n - 4)) + ".Q73", extension: utf8Text(extension) };
}

// The name an expansion of `name` writes, given the extension its header
// stores ("" for none): notes.Q73 with "txt" -> notes.txt.
function restoredName(name, extension) {
    const bytes = kUtf8.encode(name);
    const base = utf8Text(bytes.subarray(0, bytes.length - 4));
    return extension ? base + "." + extension : base;
}

/**** The result lines ****/

// `value` with `digits` decimals, rounded as C's printf rounds it: the exact
// binary value, a tie to the even digit.  (toFixed rounds a tie up: 1.125
// would show as 1.13 where the programs show 1.12.)
function fixed(value, digits) {
    const exact = Math.abs(value).toFixed(100);
    const point = exact.indexOf(".");
    let kept = exact.slice(0, point) + exact.slice(point + 1, point + 1 + digits);
    const rest = exact.slice(point + 1 + digits);
    const up = rest[0] > "5" || (rest[0] === "5" && (/[1-9]/.test(rest.slice(1)) ||
                                                    Number(kept[kept.length - 1]) % 2 === 1));
    if (up) kept = (BigInt(kept) + 1n).toString().padStart(kept.length, "0");
    const whole = kept.slice(0, kept.length - digits) || "0";
    const text = digits > 0 ? whole + "." + kept.slice(kept.length - digits) : whole;
    return value < 0 || Object.is(value, -0) ? "-" + text : text;
}

function sizeText(bytes) {
    if (bytes < 1024) return fixed(bytes, 0) + " bytes";
    if (bytes < 1048576) return fixed(bytes * 0.0009765625, 2) + " KB   (" + fixed(bytes, 0) + " bytes)";
    return fixed(bytes * 0.00000095367431640625, 2) + " MB   (" + fixed(bytes, 0) + " bytes)";
}

function elapsedLine(milliseconds) {
    return "Elapsed Time: " + fixed(Math.round(milliseconds) * 0.001, 2) + " sec.";
}

// What the programs show after a compression, line by line.
function compressionLines(original, compressed, milliseconds) {
    const percent = original === 0 ? "n/a"
        : fixed(100.0 - (compressed / original) * 100.0, 2) + "%";
    return [
        "Original Size: " + sizeText(original),
        "Compressed Size: " + sizeText(compressed),
        "Percent Reduced: " + percent + "   " + sizeText(original - compressed),
        elapsedLine(milliseconds),
    ];
}

// ... and after an expansion.
function expansionLines(milliseconds) {
    return [elapsedLine(milliseconds)];
}
