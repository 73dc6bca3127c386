// Types of the package q73 (q73.js).

/** The library's version, "MAJOR.MINOR.PATCH". */
export const version: string;

/** A failure: `code` is the library's result ("BAD_DATA", "BAD_ARGUMENT",
 * "TOO_LARGE", "NO_MEMORY", "READ_FAILED", "WRITE_FAILED", "STOPPED"),
 * `message` its text. */
export class Q73Error extends Error {
  readonly code: string;
}

/** Called with the bytes of the original done and its size; returning
 * false stops the job (it then fails with code "STOPPED"). */
export type Progress = (done: number, total: number) => boolean | void;

export interface Header {
  /** Bytes of the original. */
  originalSize: number;
  /** The original name's extension, "" when none is stored. */
  extension: string;
  /** Bytes of the header (5 to 9). */
  headerSize: number;
}

type Bytes = Uint8Array | ArrayBuffer | ArrayBufferView;

/** The whole .Q73 file of `data`; `extension` (three characters) is stored
 * for the expander to give the restored file back. */
export function compress(data: Bytes, options?: { extension?: string; onProgress?: Progress }): Promise<Uint8Array>;

/** The original of the .Q73 file `data`. */
export function expand(data: Bytes, options?: { onProgress?: Progress }): Promise<Uint8Array>;

/** What the header at the start of `data` says (its first 9 bytes are enough). */
export function readHeader(data: Bytes): Header;

/** Compresses an input of exactly `size` bytes, written in pieces of any size. */
export function compressStream(options: { size: number | bigint; extension?: string; onProgress?: Progress }):
  TransformStream<Bytes, Uint8Array>;

/** Expands a .Q73 file written in pieces of any size; `onHeader` is called
 * once its header is in. */
export function expandStream(options?: { onProgress?: Progress; onHeader?: (header: Header) => void }):
  TransformStream<Bytes, Uint8Array>;

/** The programs' name for the compressed file of `name`, and the extension
 * stored (null for none): "notes.txt" -> { name: "notes.Q73", extension: "txt" }. */
export function compressedName(name: string): { name: string; extension: string | null };

/** The programs' name for the file restored from `name` (ending in .q73),
 * given the extension its header stores. */
export function restoredName(name: string, extension: string): string;
