// What build.mjs gives the page's sources when it bundles them.

// The engine's Web Worker script, tarvik-worker.js, as text.
declare module 'tarvik-worker' {
  const source: string;
  export default source;
}

// The service worker's cache name and the files it keeps.
declare const TARVIK_CACHE: string;
declare const TARVIK_FILES: string[];
