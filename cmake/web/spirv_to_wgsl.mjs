// SPIR-V (from glslang) to WGSL for the web build:
//   node spirv_to_wgsl.mjs <in.spv> <source.hlsl> <out.wgsl> [<variant.spv> ...]
// 1. Integer operations whose operands differ in signedness from their result get a bitcast
//    (glslang mixes int and uint operands, WGSL refuses them), then spirv-val checks the result.
// 2. naga (npm naga-wasm) translates to WGSL.
// 3. Fix-ups of the text: FLT_MAX as WGSL can read it; storage images write-only in the format
//    the source names with STORAGE_FORMAT; the extension and diagnostics the shader needs.
// A second SPIR-V file is the same shader built with TARNIX_NO_SUBGROUPS: when the first uses
// subgroup operations, its WGSL follows the first's after a NUL, for devices without them.
import { execFileSync } from "node:child_process";
import { readFileSync, writeFileSync } from "node:fs";
import { parseSpirv, validate, writeWgsl } from "naga-wasm";

const kArithmetic = new Set(["OpIAdd", "OpISub", "OpIMul", "OpSDiv", "OpUDiv", "OpSMod", "OpUMod", "OpSRem",
  "OpBitwiseAnd", "OpBitwiseOr", "OpBitwiseXor"]);
const kShifts = new Set(["OpShiftLeftLogical", "OpShiftRightLogical", "OpShiftRightArithmetic"]);
const kComparisons = new Set(["OpIEqual", "OpINotEqual", "OpUGreaterThan", "OpSGreaterThan", "OpUGreaterThanEqual",
  "OpSGreaterThanEqual", "OpULessThan", "OpSLessThan", "OpULessThanEqual", "OpSLessThanEqual"]);

// The signedness ("s"/"u") of every integer scalar and vector type, and every id's type.
function integerTypes(lines) {
  const sign = new Map(), vectorOf = new Map(), typeOf = new Map();
  for (const line of lines) {
    let m = line.match(/^\s*(%\S+) = OpTypeInt 32 ([01])/);
    if (m) sign.set(m[1], m[2] === "1" ? "s" : "u");
    m = line.match(/^\s*(%\S+) = OpTypeVector (%\S+) \d+/);
    if (m) vectorOf.set(m[1], m[2]);
    m = line.match(/^\s*(%\S+) = (Op\w+) (%\S+)/);
    if (m && !m[2].startsWith("OpType")) typeOf.set(m[1], m[3]);
  }
  for (const [vector, component] of vectorOf) if (sign.has(component)) sign.set(vector, sign.get(component));
  return { sign, typeOf };
}

export function fixSignedness(text) {
  const lines = text.split("\n");
  const { sign, typeOf } = integerTypes(lines);
  const out = [];
  let added = 0;
  for (const line of lines) {
    const m = line.match(/^(\s*)(%\S+) = (Op\w+) (%\S+) (.*)$/);
    const op = m?.[3];
    if (!m || !(kArithmetic.has(op) || kShifts.has(op) || kComparisons.has(op))) {
      out.push(line);
      continue;
    }
    const [, indent, id, , resultType, rest] = m;
    const operands = rest.split(" ");
    // Comparisons: the second operand follows the first; the others follow the result. A shift
    // amount may have either signedness.
    const target = kComparisons.has(op) ? typeOf.get(operands[0]) : resultType;
    const wanted = sign.get(target);
    const checked = kShifts.has(op) ? 1 : operands.length;
    for (let i = 0; wanted && i < checked; ++i) {
      const type = typeOf.get(operands[i]);
      if (!sign.has(type) || sign.get(type) === wanted) continue;
      const cast = `%signedness${added++}`;
      out.push(`${indent}${cast} = OpBitcast ${target} ${operands[i]}`);
      operands[i] = cast;
    }
    out.push(`${indent}${id} = ${op} ${resultType} ${operands.join(" ")}`);
  }
  return out.join("\n");
}

// binding -> WGSL storage format named by STORAGE_FORMAT(...) in front of a u register.
function storageFormats(hlsl) {
  const formats = new Map();
  const pattern = /STORAGE_FORMAT\((\w+)\)\s+RWTexture2D<[^>]*>\s+\w+\s*:\s*register\(u(\d+)\)/g;
  for (const m of hlsl.matchAll(pattern)) formats.set(30 + Number(m[2]), m[1]);
  return formats;
}

export function fixWgsl(wgsl, hlsl) {
  const formats = storageFormats(hlsl);
  // naga prints FLT_MAX as a decimal that WGSL rounds past the largest f32.
  let out = wgsl.replaceAll("340282350000000000000000000000000000000f", "0x1.fffffep+127f");
  // The shaders only write their storage images: write-only works for every format.
  out = out.replace(/@binding\((\d+)\)(\s*var \w+: texture_storage_2d<)(\w+),read_write>/g,
    (all, binding, middle, format) => `@binding(${binding})${middle}${formats.get(Number(binding)) ?? format},write>`);
  const header = [];
  if (/\bsubgroup\w+\(/.test(out)) header.push("enable subgroups;", "diagnostic(off, subgroup_uniformity);");
  if (/\btextureSample\(/.test(out)) header.push("diagnostic(off, derivative_uniformity);");
  return header.length ? `${header.join("\n")}\n${out}` : out;
}

function translate(spvPath, hlsl) {
  const text = execFileSync("spirv-dis", ["--raw-id", spvPath], { encoding: "utf8", maxBuffer: 256 * 1024 * 1024 });
  const fixedPath = spvPath.replace(/\.spv$/, ".signed.spv");
  execFileSync("spirv-as", ["--target-env", "vulkan1.1", "--preserve-numeric-ids", "-o", fixedPath, "-"],
    { input: fixSignedness(text) });
  execFileSync("spirv-val", ["--target-env", "vulkan1.1", fixedPath]);
  const module = parseSpirv(readFileSync(fixedPath));
  return fixWgsl(writeWgsl(module, validate(module)), hlsl);
}

if (process.argv[1] && import.meta.url.endsWith(process.argv[1].split("/").pop())) {
  const [spv, source, output, fallback] = process.argv.slice(2);
  const hlsl = readFileSync(source, "utf8");
  try {
    const modules = [translate(spv, hlsl)];
    if (fallback && modules[0].startsWith("enable subgroups;")) modules.push(translate(fallback, hlsl));
    writeFileSync(output, modules.join("\0"));
  } catch (error) {
    console.error(`${spv}: ${error.formatted ?? error.message}`);
    process.exit(1);
  }
}
