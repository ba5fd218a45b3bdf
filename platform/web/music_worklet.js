// The sound device of the web build, on the audio rendering thread: it is handed the whole
// piece once (interleaved left, right floats at the context's rate), by a message or, when the
// piece is ready before the node, in its options; it plays it from its start, and after every
// render quantum reports how many frames it has played and the context frame its first frame
// went out at (the page turns that into what is heard); once past the end it says so and
// plays silence.
class TarnixMusic extends AudioWorkletProcessor {
  constructor(options) {
    super();
    this.samples = options?.processorOptions?.samples ?? null;
    this.position = 0;
    this.port.onmessage = (event) => {
      if (event.data.samples) {
        this.samples = event.data.samples;
        this.position = 0;
      } else if (event.data.stop) {
        this.samples = null;
      }
    };
  }

  process(inputs, outputs) {
    const [left, right] = outputs[0];
    if (!this.samples) return true;
    const frames = this.samples.length / 2;
    const startFrame = currentFrame - this.position;
    const count = Math.min(left.length, frames - this.position);
    for (let i = 0; i < count; ++i) {
      left[i] = this.samples[2 * (this.position + i)];
      right[i] = this.samples[2 * (this.position + i) + 1];
    }
    this.position += count;
    const ended = this.position >= frames;
    this.port.postMessage({ position: this.position, ended, startFrame });
    if (ended) this.samples = null;
    return true;
  }
}

registerProcessor("tarnix-music", TarnixMusic);
