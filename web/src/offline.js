// The page as an installable app that opens offline: its manifest linked and its service worker registered, over http(s) only.
// From file:// browsers allow no service worker, and chromium reports a
// manifest link there as a blocked cross-origin request, so the page then
// links and registers nothing and works as before. A refused registration
// (a private window, a full disk) only means the page is not kept offline.
/**
 * What registerOffline reads of the page's global scope.
 * @typedef {object} OfflineScope
 * @property {{ protocol: string }} [location]
 * @property {{ serviceWorker?: { register(url: string): Promise<unknown> } }} [navigator]
 * @property {{ createElement(tag: string): any, head: { append(node: any): void } }} [document]
 */

/**
 * @param {OfflineScope} [scope]
 * @returns {Promise<unknown>} the registration, or null when there is none
 */
export function registerOffline(scope = globalThis) {
  const protocol = scope.location && scope.location.protocol;
  const workers = scope.navigator && scope.navigator.serviceWorker;
  if ((protocol !== 'http:' && protocol !== 'https:') || !workers) return Promise.resolve(null);
  const link = scope.document.createElement('link');
  link.rel = 'manifest';
  link.href = 'manifest.webmanifest';
  scope.document.head.append(link);
  return workers.register('./sw.js').catch(() => null);
}
