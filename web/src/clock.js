// Two chess clocks with an increment: the side to move's clock runs, a move
// adds the increment to the mover, and a clock that reaches zero falls.
export function createClock({ onTick, onFlag }) {
  const left = { w: 0, b: 0 };
  let increment = 0;
  let running = null;
  let since = 0;
  let timer = null;

  function now() {
    return performance.now();
  }
  function settle() {
    if (!running) return;
    const t = now();
    left[running] = Math.max(0, left[running] - (t - since));
    since = t;
  }
  function tick() {
    settle();
    onTick();
    if (running && left[running] <= 0) {
      const fallen = running;
      stop();
      onFlag(fallen);
    }
  }
  function stop() {
    settle();
    running = null;
    if (timer) clearInterval(timer);
    timer = null;
  }

  return {
    reset(initialMs, incrementMs) {
      stop();
      left.w = left.b = initialMs;
      increment = incrementMs;
      onTick();
    },
    // Both clocks as a saved game left them; neither runs.
    set(w, b) {
      stop();
      left.w = w;
      left.b = b;
      onTick();
    },
    // Starts color's clock (stopping the other's).
    run(color) {
      stop();
      running = color;
      since = now();
      timer = setInterval(tick, 100);
      onTick();
    },
    // The mover's increment, then the other side's clock runs.
    moved(mover) {
      settle();
      left[mover] += increment;
      this.run(mover === 'w' ? 'b' : 'w');
    },
    stop() {
      stop();
      onTick();
    },
    left(color) {
      settle();
      return left[color];
    },
    get increment() {
      return increment;
    },
    get running() {
      return running;
    },
  };
}

// 83 s -> "1:23", under ten seconds with tenths.
export function formatClock(ms) {
  const total = Math.max(0, ms);
  if (total < 10000) return (Math.floor(total / 100) / 10).toFixed(1);
  const seconds = Math.floor(total / 1000);
  const minutes = Math.floor(seconds / 60);
  return `${minutes}:${String(seconds % 60).padStart(2, '0')}`;
}
