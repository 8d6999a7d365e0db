// Move and capture sounds, made in the page with WebAudio: no sound file is fetched.

/**
 * A move is a short falling click; a capture is lower and longer, with a
 * burst of noise over it.
 * @type {Record<'move' | 'capture', { from: number, to: number, seconds: number, volume: number, noise: number }>}
 */
const SOUNDS = {
  move: { from: 660, to: 330, seconds: 0.06, volume: 0.25, noise: 0 },
  capture: { from: 330, to: 110, seconds: 0.14, volume: 0.3, noise: 0.2 },
};
// Exponential ramps cannot reach 0.
const SILENT = 0.0001;

/**
 * The page's sound; a browser without WebAudio stays silent. The audio
 * context is made at the first sound, which a player's move makes, as
 * browsers allow audio only after the player has acted.
 * @returns {(kind: 'move' | 'capture') => void}
 */
export function createSound() {
  /** @type {AudioContext | null} */
  let context = null;
  return (kind) => {
    const Context = globalThis.AudioContext;
    if (!Context) return;
    try {
      context ??= new Context();
      if (context.state === 'suspended') context.resume().catch(() => {});
      play(context, SOUNDS[kind]);
    } catch {
      // A sound that cannot be made is no reason to stop a move.
    }
  };
}

/**
 * @param {AudioContext} context
 * @param {typeof SOUNDS.move} sound
 */
function play(context, { from, to, seconds, volume, noise }) {
  const t = context.currentTime;
  const end = t + seconds;
  const tone = context.createOscillator();
  tone.type = 'triangle';
  tone.frequency.setValueAtTime(from, t);
  tone.frequency.exponentialRampToValueAtTime(to, end);
  const envelope = context.createGain();
  envelope.gain.setValueAtTime(volume, t);
  envelope.gain.exponentialRampToValueAtTime(SILENT, end);
  tone.connect(envelope).connect(context.destination);
  tone.start(t);
  tone.stop(end);
  if (!noise) return;
  const length = Math.ceil(context.sampleRate * seconds);
  const buffer = context.createBuffer(1, length, context.sampleRate);
  const samples = buffer.getChannelData(0);
  for (let i = 0; i < length; i++) samples[i] = (Math.random() * 2 - 1) * noise * (1 - i / length) ** 2;
  const burst = context.createBufferSource();
  burst.buffer = buffer;
  burst.connect(context.destination);
  burst.start(t);
}
