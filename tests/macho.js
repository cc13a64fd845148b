// node macho.js FILE: what macOS's loader sees of a Mach-O file, one fact a
// line, for check_binaries.sh:
//   format TYPE ARCH                 bundle, dylib or execute; arm64 or x86_64
//   build minos X.Y sdk X.Y          the oldest macOS it states, the SDK's
//   library NAME, weak-library NAME  the libraries it names, by install name
//   rpath PATH
//   import LIBRARY SYMBOL            each symbol bound, in every bind list
//   weak-import LIBRARY SYMBOL       (the lazy one too), weak where its flag says
//   export SYMBOL
//   unwind SYMBOL                    an export the unwind table covers
//   personalities N                  language handlers the unwind table names
//   signature FLAGS valid|invalid    the code directory's hash of each page
// Read from the format itself, not with LLVM's tools: the linker used here is
// LLVM's, and its reader would share its mistakes.
'use strict';
const fs = require('fs');
const crypto = require('crypto');

const file = fs.readFileSync(process.argv[2]);
const out = [];
const u32 = (at) => file.readUInt32LE(at);
const u16 = (at) => file.readUInt16LE(at);
const cstring = (at) => file.toString('latin1', at, file.indexOf(0, at));
const version = (v) => `${v >>> 16}.${(v >> 8) & 0xff}`;
const uleb = (state) => {
  let value = 0;
  for (let shift = 1, byte = 0x80; byte & 0x80; shift *= 128) {
    byte = file[state.at++];
    value += (byte & 0x7f) * shift;
  }
  return value;
};

if (u32(0) !== 0xfeedfacf) throw new Error('not a 64-bit Mach-O file');
out.push(`format ${{ 2: 'execute', 6: 'dylib', 8: 'bundle' }[u32(12)] || u32(12)} ${
  { 0x0100000c: 'arm64', 0x01000007: 'x86_64' }[u32(4)] || u32(4)}`);
const libraries = [];
let unwind, binds = [], exportsTrie, signature;
for (let i = 0, at = 32; i < u32(16); i++, at += u32(at + 4)) {
  const cmd = u32(at);
  if (cmd === 0x19) {  // LC_SEGMENT_64: its sections
    for (let s = 0, sect = at + 72; s < u32(at + 64); s++, sect += 80) {
      if (cstring(sect).startsWith('__unwind_info')) unwind = u32(sect + 48);
    }
  } else if ([0xc, 0x80000018, 0x8000001f, 0x80000023].includes(cmd)) {  // LC_*LOAD*_DYLIB
    libraries.push(cstring(at + u32(at + 8)));
    out.push(`${cmd === 0x80000018 ? 'weak-library' : 'library'} ${libraries[libraries.length - 1]}`);
  } else if (cmd === 0x8000001c) {
    out.push(`rpath ${cstring(at + u32(at + 8))}`);
  } else if (cmd === 0x32) {
    out.push(`build minos ${version(u32(at + 12))} sdk ${version(u32(at + 16))}`);
  } else if (cmd === 0x22 || cmd === 0x80000022) {  // LC_DYLD_INFO(_ONLY): bind, lazy bind, exports
    binds = [[u32(at + 16), u32(at + 20)], [u32(at + 32), u32(at + 36)]];
    exportsTrie = [u32(at + 40), u32(at + 44)];
  } else if (cmd === 0x80000033) {  // LC_DYLD_EXPORTS_TRIE
    exportsTrie = [u32(at + 8), u32(at + 12)];
  } else if (cmd === 0x80000034) {
    out.push('chained-fixups (not read)');
  } else if (cmd === 0x1d) {
    signature = u32(at + 8);
  }
}

// The bind lists' opcodes: each bind is of the symbol, library and flags set last.
const imports = new Set();
for (const [offset, size] of binds) {
  const state = { at: offset };
  let ordinal = 0, name = '', weak = false;
  while (state.at < offset + size) {
    const byte = file[state.at++];
    const immediate = byte & 0x0f;
    const opcode = byte & 0xf0;
    if (opcode === 0x10) ordinal = immediate;
    else if (opcode === 0x20) ordinal = uleb(state);
    else if (opcode === 0x30) ordinal = immediate ? immediate - 16 : 0;
    else if (opcode === 0x40) {
      name = cstring(state.at);
      state.at += name.length + 1;
      weak = (immediate & 1) !== 0;  // BIND_SYMBOL_FLAGS_WEAK_IMPORT
    } else if ([0x60, 0x70, 0x80, 0xa0].includes(opcode)) uleb(state);
    else if (opcode === 0xc0) uleb(state), uleb(state);
    if (opcode >= 0x90 && opcode <= 0xc0) {
      imports.add(`${weak ? 'weak-import' : 'import'} ${ordinal > 0 ? libraries[ordinal - 1] : `special${ordinal}`} ${name}`);
    }
  }
}
out.push(...[...imports].sort());

// The exports trie: each terminal node is an export, named by its path.
const exported = {};
const walk = (node, prefix) => {
  const state = { at: exportsTrie[0] + node };
  const children = uleb(state) + state.at;
  if (children > state.at) exported[prefix] = (uleb(state), uleb(state));  // flags, address
  state.at = children;
  for (let count = file[state.at++]; count > 0; count--) {
    const edge = cstring(state.at);
    state.at += edge.length + 1;
    walk(uleb(state), prefix + edge);
  }
};
if (exportsTrie && exportsTrie[1]) walk(0, '');
Object.keys(exported).sort().forEach((name) => out.push(`export ${name}`));

// The unwind table: its first-level index, the last entry of which ends the
// functions covered; under each, a page of functions and their encodings.
if (unwind !== undefined) {
  const common = Array.from({ length: u32(unwind + 8) }, (_, i) => u32(unwind + u32(unwind + 4) + 4 * i));
  const entries = [];
  for (let i = 0; i < u32(unwind + 24); i++) {
    const index = unwind + u32(unwind + 20) + 12 * i;
    const page = unwind + u32(index + 4);
    const count = page === unwind ? 0 : u16(page + 6);
    if (page === unwind) entries.push([u32(index), 0]);
    for (let e = 0; e < count; e++) {
      if (u32(page) === 2) {  // regular: function and encoding
        entries.push([u32(page + u16(page + 4) + 8 * e), u32(page + u16(page + 4) + 8 * e + 4)]);
      } else {  // compressed: offset from the index's function, and encoding number
        const entry = u32(page + u16(page + 4) + 4 * e);
        const n = entry >>> 24;
        entries.push([u32(index) + (entry & 0xffffff),
          n < common.length ? common[n] : u32(page + u16(page + 8) + 4 * (n - common.length))]);
      }
    }
  }
  entries.sort((a, b) => a[0] - b[0]);
  for (const [name, address] of Object.entries(exported).sort()) {
    const covering = entries.filter(([start]) => start <= address).pop();
    if (covering && covering[1] !== 0) out.push(`unwind ${name}`);
  }
  out.push(`personalities ${u32(unwind + 16)}`);
}

// The code signature: the code directory's hash of each page before it.
if (signature !== undefined) {
  const be = (at) => file.readUInt32BE(at);
  let directory = -1;
  for (let i = 0; be(signature) === 0xfade0cc0 && i < be(signature + 8); i++) {
    if (be(signature + 12 + 8 * i) === 0) directory = signature + be(signature + 16 + 8 * i);
  }
  if (directory < 0 || be(directory) !== 0xfade0c02) {
    out.push('signature without a code directory');
  } else {
    const [size, type, shift] = [file[directory + 36], file[directory + 37], file[directory + 39]];
    const limit = be(directory + 32);
    const pages = be(directory + 28);
    let valid = limit === signature && pages === Math.ceil(limit / 2 ** shift);
    for (let page = 0; page < pages; page++) {
      const hash = crypto.createHash(type === 2 ? 'sha256' : 'sha1')
        .update(file.subarray(page * 2 ** shift, Math.min((page + 1) * 2 ** shift, limit))).digest();
      const kept = directory + be(directory + 16) + page * size;
      valid = valid && hash.subarray(0, size).equals(file.subarray(kept, kept + size));
    }
    const flags = [[0x2, 'adhoc'], [0x20000, 'linker-signed']].filter(([bit]) => be(directory + 12) & bit);
    out.push(`signature ${flags.map(([, name]) => name).join(' ')} ${valid ? 'valid' : 'invalid'}`);
  }
}
console.log(out.join('\n'));
