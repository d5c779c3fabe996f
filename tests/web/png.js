// Reads the PNG pictures Kavaro writes (palette pictures of 1, 2, 4 or 8 bits, and RGB or RGBA
// pictures of 8 bits) into one 0xRRGGBB number a pixel, for comparing pictures pixel for pixel.
'use strict';
const zlib = require('zlib');

function paeth(a, b, c) {
  const p = a + b - c, pa = Math.abs(p - a), pb = Math.abs(p - b), pc = Math.abs(p - c);
  return pa <= pb && pa <= pc ? a : pb <= pc ? b : c;
}

function decode(buffer) {
  if (buffer.readUInt32BE(0) !== 0x89504e47) throw new Error('not a PNG');
  let pos = 8, width = 0, height = 0, depth = 0, type = 0, palette = null;
  const data = [];
  while (pos < buffer.length) {
    const length = buffer.readUInt32BE(pos), kind = buffer.toString('latin1', pos + 4, pos + 8);
    const body = buffer.subarray(pos + 8, pos + 8 + length);
    if (kind === 'IHDR') {
      width = body.readUInt32BE(0);
      height = body.readUInt32BE(4);
      depth = body[8];
      type = body[9];
      if (body[12] !== 0) throw new Error('interlaced');
    } else if (kind === 'PLTE') {
      palette = body;
    } else if (kind === 'IDAT') {
      data.push(body);
    }
    pos += 12 + length;
  }
  const channels = { 0: 1, 2: 3, 3: 1, 6: 4 }[type];
  if (!channels || (type !== 3 && depth !== 8)) throw new Error('unsupported PNG type ' + type);
  const raw = zlib.inflateSync(Buffer.concat(data));
  const bpp = Math.max(1, (channels * depth) >> 3), stride = (width * channels * depth + 7) >> 3;
  const rows = Buffer.alloc(stride * height);
  for (let y = 0; y < height; ++y) {
    const filter = raw[y * (stride + 1)], src = raw.subarray(y * (stride + 1) + 1, (y + 1) * (stride + 1));
    for (let x = 0; x < stride; ++x) {
      const a = x >= bpp ? rows[y * stride + x - bpp] : 0, b = y ? rows[(y - 1) * stride + x] : 0;
      const c = x >= bpp && y ? rows[(y - 1) * stride + x - bpp] : 0;
      const pred = [0, a, b, (a + b) >> 1, paeth(a, b, c)][filter];
      rows[y * stride + x] = (src[x] + pred) & 0xff;
    }
  }
  const pixels = new Uint32Array(width * height);
  for (let y = 0; y < height; ++y) {
    for (let x = 0; x < width; ++x) {
      const row = y * stride;
      if (type === 3) {
        const bit = x * depth, i = (rows[row + (bit >> 3)] >> (8 - depth - (bit & 7))) & ((1 << depth) - 1);
        pixels[y * width + x] = (palette[3 * i] << 16) | (palette[3 * i + 1] << 8) | palette[3 * i + 2];
      } else {
        const o = row + x * channels;
        pixels[y * width + x] = channels === 1 ? rows[o] * 0x010101 : (rows[o] << 16) | (rows[o + 1] << 8) | rows[o + 2];
      }
    }
  }
  return { width, height, pixels };
}

// The number of pixels that differ between two pictures (all of them when the sizes differ).
function differences(a, b) {
  if (a.width !== b.width || a.height !== b.height) return Math.max(a.pixels.length, b.pixels.length);
  let n = 0;
  for (let i = 0; i < a.pixels.length; ++i) if (a.pixels[i] !== b.pixels[i]) ++n;
  return n;
}

module.exports = { decode, differences };
