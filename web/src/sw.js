// The service worker: the page's files kept in one cache per release and served from it first, so the page opens offline.
/* global TARVIK_CACHE, TARVIK_FILES */
// build.mjs puts in the cache's name (the version and a hash of the files)
// and the list of files, so a new release installs a new cache beside the old.
const CACHE = TARVIK_CACHE;
const FILES = TARVIK_FILES;

// The dom library's types describe a page; what a service worker has besides:
/** @typedef {Event & { waitUntil(promise: Promise<unknown>): void }} ExtendableEvent */
/** @typedef {ExtendableEvent & { request: Request, respondWith(response: Promise<Response>): void }} FetchEvent */
const worker = /** @type {typeof self & { skipWaiting(): Promise<void>, clients: { claim(): Promise<void> } }} */ (self);

self.addEventListener('install', (/** @type {ExtendableEvent} */ event) => {
  // Each file is checked with the server rather than taken from the HTTP
  // cache, which may still hold the last release's; where the server can say
  // "not modified", the files the page has just loaded are not sent again.
  // The new release then takes over at once: its files are whole in its cache.
  event.waitUntil(
    caches
      .open(CACHE)
      .then((cache) => cache.addAll(FILES.map((file) => new Request(file, { cache: 'no-cache' }))))
      .then(() => worker.skipWaiting()),
  );
});

self.addEventListener('activate', (/** @type {ExtendableEvent} */ event) => {
  event.waitUntil(
    caches
      .keys()
      .then((names) => Promise.all(names.filter((name) => name !== CACHE).map((name) => caches.delete(name))))
      .then(() => worker.clients.claim()),
  );
});

self.addEventListener('fetch', (/** @type {FetchEvent} */ event) => {
  const request = event.request;
  if (request.method !== 'GET' || new URL(request.url).origin !== self.location.origin) return;
  event.respondWith(
    caches
      .open(CACHE)
      .then((cache) => cache.match(request, { ignoreSearch: true }))
      .then((hit) => hit || fetch(request)),
  );
});
