// The browser's side of gfx.h on WebGPU (platform/webgpu/). The C++ backend keeps the
// Direct3D-shaped records (descriptor heaps, root signatures, resource states) and calls the
// small EM_JS functions of webgpu_glue.cpp, which call into this object. WebGPU objects live
// here in a table; C++ holds their indices.
//
// Bind-group layouts come from the WGSL itself: every `@group(0) @binding(n) var ...` of a
// shader becomes one entry, typed as the declaration says, so the layout always matches the
// shader (glslang and naga leave out resources a shader does not use).
var TarnixGpu = {
  objects: [null],
  unused: [],
  adapter: null,
  device: null,
  errors: 0,
  context: null,
  presented: 0,
  // Pass timings (startProfile): milliseconds of every pass, by pipeline name.
  profile: null,

  add(object) {
    const id = this.unused.length ? this.unused.pop() : this.objects.length;
    this.objects[id] = object;
    return id;
  },
  get(id) {
    return this.objects[id];
  },
  remove(id) {
    const object = this.objects[id];
    if (object && object.destroy) object.destroy();
    this.objects[id] = null;
    this.unused.push(id);
  },

  // The page asks for the adapter first (to tell a missing WebGPU before anything starts);
  // the device is made when the program asks for it.
  async createDevice() {
    if (!navigator.gpu) return false;
    this.adapter = this.adapter || (await navigator.gpu.requestAdapter());
    if (!this.adapter) return false;
    const features = ["float32-filterable"];
    if (this.adapter.features.has("subgroups")) features.push("subgroups");
    if (this.adapter.features.has("timestamp-query")) features.push("timestamp-query");
    const limits = {};
    for (const name of ["maxStorageBufferBindingSize", "maxBufferSize", "maxComputeInvocationsPerWorkgroup",
                        "maxComputeWorkgroupSizeX", "maxComputeWorkgroupStorageSize"])
      limits[name] = this.adapter.limits[name];
    try {
      this.device = await this.adapter.requestDevice({ requiredFeatures: features, requiredLimits: limits });
    } catch (error) {
      console.error(`gfx: WebGPU device refused: ${error.message}`);
      return false;
    }
    this.device.addEventListener("uncapturederror", (event) => {
      this.errors += 1;
      console.error(`gfx: WebGPU error: ${event.error.message}`);
    });
    this.device.lost.then((info) => console.error(`gfx: WebGPU device lost: ${info.message}`));
    if (this.profileWanted) this.startProfile();
    return true;
  },

  hasSubgroups() {
    return this.device.features.has("subgroups");
  },

  // ---- Resources ----
  createBuffer(size, usage, label) {
    return this.add(this.device.createBuffer({ size, usage, label }));
  },
  createTexture(width, height, format, usage, label) {
    const texture = this.device.createTexture({ size: [width, height], format, usage, label });
    texture.tarnixView = texture.createView();
    return this.add(texture);
  },
  writeBuffer(id, offset, pointer, size) {
    this.device.queue.writeBuffer(this.get(id), offset, HEAPU8.buffer, pointer, size);
  },
  // Copies `size` bytes of a mappable buffer into the heap once the GPU is done with it.
  async readBuffer(id, offset, size, pointer) {
    const buffer = this.get(id);
    await buffer.mapAsync(GPUMapMode.READ, offset, size);
    HEAPU8.set(new Uint8Array(buffer.getMappedRange(offset, size)), pointer);
    buffer.unmap();
  },
  createSampler(linear, addressMode) {
    const filter = linear ? "linear" : "nearest";
    return this.add(this.device.createSampler({
      magFilter: filter, minFilter: filter, mipmapFilter: filter,
      addressModeU: addressMode, addressModeV: addressMode, addressModeW: addressMode,
    }));
  },

  // ---- Pipelines ----
  // The bind-group layout entries a WGSL module declares.
  declaredBindings(code, visibility) {
    const entries = new Map();
    const pattern = /@group\(0\) @binding\((\d+)\)\s*var(?:<([^>]*)>)?\s+\w+\s*:\s*([^;]+);/g;
    // (No destructuring in for-of heads: emscripten 3.1.6's JavaScript optimizer mangles them.)
    for (const match of code.matchAll(pattern)) {
      const space = match[2], type = match[3];
      const entry = { binding: Number(match[1]), visibility };
      if (space === "uniform") entry.buffer = { type: "uniform" };
      else if (space && space.includes("read_write")) entry.buffer = { type: "storage" };
      else if (space) entry.buffer = { type: "read-only-storage" };
      else if (type.startsWith("texture_storage_2d")) {
        const [format, access] = type.slice(type.indexOf("<") + 1, type.indexOf(">")).split(",");
        entry.storageTexture = { format: format.trim(), access: access.trim() === "write" ? "write-only" : "read-write" };
      } else if (type.startsWith("texture_2d")) {
        const sample = type.includes("<u32>") ? "uint" : type.includes("<i32>") ? "sint" : "float";
        entry.texture = { sampleType: sample };
      } else if (type.startsWith("sampler")) entry.sampler = { type: "filtering" };
      else continue;
      const known = entries.get(entry.binding);
      if (known) known.visibility |= visibility;
      else entries.set(entry.binding, entry);
    }
    return entries;
  },
  // A shader's text: the first module, or the one after the NUL where the device has no
  // subgroup operations.
  moduleText(pointer, length) {
    const modules = new TextDecoder().decode(HEAPU8.subarray(pointer, pointer + length)).split("\0");
    return modules.length > 1 && !this.hasSubgroups() ? modules[1] : modules[0];
  },
  layoutOf(entries, label) {
    const bindGroupLayout = this.device.createBindGroupLayout({ entries: [...entries.values()], label });
    return { bindGroupLayout, layout: this.device.createPipelineLayout({ bindGroupLayouts: [bindGroupLayout] }) };
  },
  async createComputePipeline(pointer, length, label) {
    const code = this.moduleText(pointer, length);
    const entries = this.declaredBindings(code, GPUShaderStage.COMPUTE);
    const { bindGroupLayout, layout } = this.layoutOf(entries, label);
    return this.pipelineOf(() => this.device.createComputePipelineAsync({
      label, layout, compute: { module: this.device.createShaderModule({ code, label }), entryPoint: "main" },
    }), entries, bindGroupLayout, label);
  },
  async createRenderPipeline(vs, vsLength, ps, psLength, description, label) {
    const vertexCode = this.moduleText(vs, vsLength), pixelCode = this.moduleText(ps, psLength);
    const entries = this.declaredBindings(vertexCode, GPUShaderStage.VERTEX);
    for (const entry of this.declaredBindings(pixelCode, GPUShaderStage.FRAGMENT).values()) {
      const known = entries.get(entry.binding);
      if (known) known.visibility |= entry.visibility;
      else entries.set(entry.binding, entry);
    }
    const { bindGroupLayout, layout } = this.layoutOf(entries, label);
    return this.pipelineOf(() => this.device.createRenderPipelineAsync({
      label, layout,
      vertex: { module: this.device.createShaderModule({ code: vertexCode }), entryPoint: "main",
                buffers: description.vertexBuffers },
      fragment: { module: this.device.createShaderModule({ code: pixelCode }), entryPoint: "main",
                  targets: description.targets },
      primitive: description.primitive,
    }), entries, bindGroupLayout, label);
  },
  // The pipeline `create` makes, with what binding its tables needs; 0, and the reason on the
  // console, when the browser refuses it.
  async pipelineOf(create, entries, bindGroupLayout, label) {
    try {
      const pipeline = await create();
      pipeline.tarnixEntries = entries;
      pipeline.tarnixLayout = bindGroupLayout;
      return this.add(pipeline);
    } catch (error) {
      console.error(`gfx: ${label}: ${error.message}`);
      return 0;
    }
  },

  // ---- Recording ----
  // Bindings from the heap: `count` records of 6 words (binding, kind, object, offset, size,
  // unused); kinds 0 buffer, 1 texture, 2 sampler. Those the shader does not declare are left out.
  bindGroup(pipeline, pointer, count) {
    const words = HEAPU32.subarray(pointer >> 2, (pointer >> 2) + count * 6);
    const entries = [];
    for (let i = 0; i < count * 6; i += 6) {
      const binding = words[i];
      if (!pipeline.tarnixEntries.has(binding)) continue;
      const object = this.get(words[i + 2]);
      if (words[i + 1] === 0) entries.push({ binding, resource: { buffer: object, offset: words[i + 3], size: words[i + 4] } });
      else if (words[i + 1] === 1) entries.push({ binding, resource: object.tarnixView });
      else entries.push({ binding, resource: object });
    }
    return this.device.createBindGroup({ layout: pipeline.tarnixLayout, entries });
  },
  // A command list's encoder: its commands and the compute pass left open between dispatches.
  createEncoder() {
    return this.add({ encoder: this.device.createCommandEncoder(), computePass: null, timed: [] });
  },
  setLabel(id, name) {
    this.get(id).tarnixName = name;
  },

  // ---- Pass timings: each pass on its own, with GPU timestamps at its start and end ----
  startProfile() {
    if (!this.device.features.has("timestamp-query")) return false;
    this.profile = {};
    return true;
  },
  // timestampWrites for the next pass of an encoder, noting the pass's name.
  timestamps(record, name) {
    if (!this.profile || record.timed.length >= 64) return undefined;
    if (!record.querySet) record.querySet = this.device.createQuerySet({ type: "timestamp", count: 128 });
    const index = 2 * record.timed.length;
    record.timed.push(name || "(unnamed)");
    return { querySet: record.querySet, beginningOfPassWriteIndex: index, endOfPassWriteIndex: index + 1 };
  },
  // After the encoder's commands: its timestamps into a buffer, read once the GPU is done.
  resolveTimestamps(record) {
    const count = 2 * record.timed.length;
    if (!count) return;
    const resolved = this.device.createBuffer({ size: count * 8, usage: GPUBufferUsage.QUERY_RESOLVE | GPUBufferUsage.COPY_SRC });
    const readable = this.device.createBuffer({ size: count * 8, usage: GPUBufferUsage.MAP_READ | GPUBufferUsage.COPY_DST });
    record.encoder.resolveQuerySet(record.querySet, 0, count, resolved, 0);
    record.encoder.copyBufferToBuffer(resolved, 0, readable, 0, count * 8);
    const names = record.timed, querySet = record.querySet;
    record.pending = () => readable.mapAsync(GPUMapMode.READ).then(() => {
      const ticks = new BigInt64Array(readable.getMappedRange());
      names.forEach((name, i) => {
        (this.profile[name] = this.profile[name] || []).push(Number(ticks[2 * i + 1] - ticks[2 * i]) / 1e6);
      });
      readable.destroy();
      resolved.destroy();
      querySet.destroy();
    });
  },
  plain(id) {
    const record = this.get(id);
    if (record.computePass) record.computePass.end();
    record.computePass = null;
    return record.encoder;
  },
  dispatch(id, pipelineId, bindings, count, x, y, z) {
    const record = this.get(id), pipeline = this.get(pipelineId);
    const timestampWrites = this.timestamps(record, pipeline.tarnixName);
    if (timestampWrites) this.plain(id);  // a timed dispatch has its pass to itself
    if (!record.computePass) record.computePass = record.encoder.beginComputePass({ timestampWrites });
    record.computePass.setPipeline(pipeline);
    record.computePass.setBindGroup(0, this.bindGroup(pipeline, bindings, count));
    record.computePass.dispatchWorkgroups(x, y, z);
    if (timestampWrites) this.plain(id);
  },
  // A render pass on one target: cleared to `clear` (an array) or loaded, then one draw when
  // `draw` is given.
  renderPass(id, targetId, clear, draw) {
    const attachment = { view: this.get(targetId).tarnixView, loadOp: clear ? "clear" : "load", storeOp: "store" };
    if (clear) attachment.clearValue = clear;
    const record = this.get(id);
    const timestampWrites = this.timestamps(record, draw ? this.get(draw.pipeline).tarnixName : "clear");
    const pass = this.plain(id).beginRenderPass({ colorAttachments: [attachment], timestampWrites });
    if (draw) {
      const pipeline = this.get(draw.pipeline);
      pass.setPipeline(pipeline);
      pass.setBindGroup(0, this.bindGroup(pipeline, draw.bindings, draw.count));
      pass.setVertexBuffer(0, this.get(draw.vertexBuffer), draw.vertexOffset, draw.vertexSize);
      pass.setViewport(...draw.viewport, 0, 1);
      pass.setScissorRect(...draw.scissor);
      pass.draw(draw.vertexCount, draw.instanceCount, draw.firstVertex, draw.firstInstance);
    }
    pass.end();
  },
  copyBuffer(id, source, sourceOffset, destination, destinationOffset, size) {
    this.plain(id).copyBufferToBuffer(this.get(source), sourceOffset, this.get(destination), destinationOffset, size);
  },
  copyTexture(id, source, destination, width, height) {
    this.plain(id).copyTextureToTexture({ texture: this.get(source) }, { texture: this.get(destination) },
                                        [width, height]);
  },
  copyBufferToTexture(id, buffer, offset, bytesPerRow, texture, width, height) {
    this.plain(id).copyBufferToTexture({ buffer: this.get(buffer), offset, bytesPerRow },
                                       { texture: this.get(texture) }, [width, height]);
  },
  copyTextureToBuffer(id, texture, buffer, offset, bytesPerRow, width, height) {
    this.plain(id).copyTextureToBuffer({ texture: this.get(texture) }, { buffer: this.get(buffer), offset, bytesPerRow },
                                       [width, height]);
  },
  submit(id) {
    if (!id) return;
    const record = this.get(id);
    this.plain(id);
    this.resolveTimestamps(record);
    this.device.queue.submit([record.encoder.finish()]);
    if (record.pending) record.pending();
    this.objects[id] = null;
    this.unused.push(id);
  },

  // ---- Fences: the value the queue has passed, kept here ----
  createFence(value) {
    return this.add({ completed: value, waiters: [] });
  },
  settle(fence) {
    fence.waiters = fence.waiters.filter((waiter) => (fence.completed >= waiter.value ? (waiter.resolve(), false) : true));
  },
  signalFence(id, value) {
    const fence = this.get(id);
    fence.completed = Math.max(fence.completed, value);
    this.settle(fence);
  },
  signalFenceOnQueue(id, value) {
    this.device.queue.onSubmittedWorkDone().then(() => {
      const fence = this.get(id);
      if (fence) this.signalFence(id, value);
    });
  },
  async waitFence(id, value, timeoutMs) {
    const fence = this.get(id);
    if (fence.completed >= value) return true;
    const reached = new Promise((resolve) => fence.waiters.push({ value, resolve: () => resolve(true) }));
    if (timeoutMs < 0) return reached;
    return Promise.race([reached, new Promise((resolve) => setTimeout(() => resolve(false), timeoutMs))]);
  },

  // ---- The canvas ----
  configureCanvas(canvas, width, height) {
    canvas.width = width;
    canvas.height = height;
    this.context = canvas.getContext("webgpu");
    this.context.configure({ device: this.device, format: "rgba8unorm", alphaMode: "opaque",
                             usage: GPUTextureUsage.COPY_DST | GPUTextureUsage.RENDER_ATTACHMENT });
  },
  // Shows the back buffer at the display's next refresh, and waits for it.
  async present(textureId, width, height) {
    if (!this.context) return;
    const encoder = this.device.createCommandEncoder();
    encoder.copyTextureToTexture({ texture: this.get(textureId) }, { texture: this.context.getCurrentTexture() },
                                 [width, height]);
    this.device.queue.submit([encoder.finish()]);
    this.presented += 1;
    await new Promise((resolve) => requestAnimationFrame(resolve));
  },
};
