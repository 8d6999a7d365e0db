// The library's database read and written with IndexedDB itself, as another
// release of the page would: the fixtures of older formats go in this way.
import { DB_NAME } from '../src/store.js';

/** @param {IDBRequest} request */
export const settled = (request) =>
  new Promise((resolve, reject) => {
    request.onsuccess = () => resolve(request.result);
    request.onerror = () => reject(request.error);
  });
const committed = (tx) =>
  new Promise((resolve, reject) => {
    tx.oncomplete = resolve;
    tx.onabort = () => reject(tx.error);
  });

// Writes a fixture's stores and records with IndexedDB itself, as the release
// that made it would have.
export async function writeRaw(factory, { version, stores }) {
  const request = factory.open(DB_NAME, version);
  const blocked = new Promise((resolve, reject) => (request.onblocked = () => reject(new Error('blocked by an open connection'))));
  request.onupgradeneeded = () => {
    for (const [name, { keyPath, indexes }] of Object.entries(stores)) {
      const store = request.result.createObjectStore(name, { keyPath });
      for (const [index, path] of Object.entries(indexes)) store.createIndex(index, path);
    }
  };
  const db = await Promise.race([settled(request), blocked]);
  const tx = db.transaction(Object.keys(stores), 'readwrite');
  for (const [name, { records }] of Object.entries(stores)) for (const record of records) tx.objectStore(name).put(record);
  await committed(tx);
  db.close();
}

// The database as a fixture describes one.
export async function readRaw(factory) {
  const db = await settled(factory.open(DB_NAME));
  const stores = {};
  for (const name of db.objectStoreNames) {
    const store = db.transaction(name).objectStore(name);
    const indexes = Object.fromEntries([...store.indexNames].map((index) => [index, store.index(index).keyPath]));
    stores[name] = { keyPath: store.keyPath, indexes, records: await settled(store.getAll()) };
  }
  db.close();
  return { version: db.version, stores };
}

