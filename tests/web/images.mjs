// Pictures for the web suites: PNG files as tarnix-capture writes them (8-bit RGB or RGBA,
// not interlaced) decoded to RGBA, written back, and compared by peak signal-to-noise ratio.
import { readFileSync, writeFileSync } from "node:fs";
import { deflateSync, inflateSync } from "node:zlib";

function paeth(a, b, c) {
  const p = a + b - c, pa = Math.abs(p - a), pb = Math.abs(p - b), pc = Math.abs(p - c);
  return pa <= pb && pa <= pc ? a : pb <= pc ? b : c;
}

// Undoes the per-row filters of a decompressed image with `channels` bytes a pixel.
function unfilter(raw, width, height, channels) {
  const stride = width * channels, out = new Uint8Array(stride * height);
  for (let y = 0; y < height; ++y) {
    const type = raw[y * (stride + 1)], row = raw.subarray(y * (stride + 1) + 1, (y + 1) * (stride + 1));
    for (let x = 0; x < stride; ++x) {
      const left = x >= channels ? out[y * stride + x - channels] : 0;
      const up = y > 0 ? out[(y - 1) * stride + x] : 0;
      const corner = x >= channels && y > 0 ? out[(y - 1) * stride + x - channels] : 0;
      const predictor = [0, left, up, (left + up) >> 1, paeth(left, up, corner)][type];
      if (predictor === undefined) throw new Error(`PNG filter ${type} unknown`);
      out[y * stride + x] = (row[x] + predictor) & 0xff;
    }
  }
  return out;
}

export function readPng(path) {
  const file = readFileSync(path);
  let width = 0, height = 0, channels = 0;
  const data = [];
  for (let at = 8; at < file.length;) {
    const length = file.readUInt32BE(at), type = file.toString("ascii", at + 4, at + 8);
    const body = file.subarray(at + 8, at + 8 + length);
    if (type === "IHDR") {
      width = body.readUInt32BE(0);
      height = body.readUInt32BE(4);
      if (body[8] !== 8 || body[12] !== 0 || (body[9] !== 2 && body[9] !== 6)) throw new Error(`${path}: not 8-bit RGB(A)`);
      channels = body[9] === 6 ? 4 : 3;
    } else if (type === "IDAT") {
      data.push(body);
    }
    at += 12 + length;
  }
  const pixels = unfilter(inflateSync(Buffer.concat(data)), width, height, channels);
  const rgba = new Uint8Array(width * height * 4);
  for (let i = 0; i < width * height; ++i) {
    for (let k = 0; k < 3; ++k) rgba[4 * i + k] = pixels[channels * i + k];
    rgba[4 * i + 3] = channels === 4 ? pixels[4 * i + 3] : 255;
  }
  return { width, height, pixels: rgba };
}

function crc32(bytes) {
  let crc = ~0;
  for (const byte of bytes) {
    crc ^= byte;
    for (let k = 0; k < 8; ++k) crc = (crc >>> 1) ^ (0xedb88320 & -(crc & 1));
  }
  return ~crc >>> 0;
}

export function writePng(path, { width, height, pixels }, scale = 1) {
  const stride = width * scale * 4, raw = Buffer.alloc((stride + 1) * height * scale);
  for (let y = 0; y < height * scale; ++y)
    for (let x = 0; x < width * scale; ++x)
      for (let k = 0; k < 4; ++k)
        raw[y * (stride + 1) + 1 + x * 4 + k] = pixels[(Math.floor(y / scale) * width + Math.floor(x / scale)) * 4 + k];
  const chunk = (type, body) => {
    const head = Buffer.alloc(8);
    head.writeUInt32BE(body.length, 0);
    head.write(type, 4, "ascii");
    const crc = Buffer.alloc(4);
    crc.writeUInt32BE(crc32(Buffer.concat([head.subarray(4), body])), 0);
    return Buffer.concat([head, body, crc]);
  };
  const header = Buffer.alloc(13);
  header.writeUInt32BE(width * scale, 0);
  header.writeUInt32BE(height * scale, 4);
  header.set([8, 6, 0, 0, 0], 8);
  writeFileSync(path, Buffer.concat([Buffer.from([137, 80, 78, 71, 13, 10, 26, 10]), chunk("IHDR", header),
                                     chunk("IDAT", deflateSync(raw)), chunk("IEND", Buffer.alloc(0))]));
}

// PSNR of the colour channels in dB (Infinity when identical).
export function psnr(a, b) {
  if (a.width !== b.width || a.height !== b.height) throw new Error("pictures of different sizes");
  let sum = 0, count = 0;
  for (let i = 0; i < a.pixels.length; i += 4)
    for (let k = 0; k < 3; ++k, ++count) sum += (a.pixels[i + k] - b.pixels[i + k]) ** 2;
  return sum === 0 ? Infinity : 10 * Math.log10((255 * 255 * count) / sum);
}
