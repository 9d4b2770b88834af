// The programs' folder, kept in the browser's store (IndexedDB) and shared by
// every tab of the page. Each change (a program's save, an upload, a delete)
// is written as that one file's change, never as a copy of a tab's whole
// folder, so a tab never removes what another stored; the other tabs hear of
// it (BroadcastChannel) and bring their list and their running program's
// copy up to date.
//
// The store keeps the layout that Emscripten's IDBFS gave it (database
// "/tessel", store "FILE_DATA", key the file's path, value {timestamp, mode,
// contents}), so that folders stored by earlier versions of the page are
// read as they are.
window.TesselFolder = (function () {
  'use strict';

  const ROOT = '/tessel';
  const DB_VERSION = 21;
  const STORE = 'FILE_DATA';
  const FILE_MODE = 0o100666;
  const INCOMING = ROOT + '/.tessel-incoming';
  // A program's temporary while it saves (.NAME.tessel-PID-XXXXXX) and the
  // error store's lock while it is held: never kept.
  const temporary = (name) => /(^|\/)\.[^/]*\.tessel-\d+-[A-Za-z0-9]{6}$/.test(name) ||
    name === '.tessel-incoming' || /\.lock\.held$/.test(name);

  const files = new Map();  // relative path -> {timestamp: Date, mode, contents: Uint8Array}
  let heard = 0;            // paths other tabs told of (for the tests)
  const listeners = [];
  const channel = window.BroadcastChannel ? new BroadcastChannel('tessel-folder') : null;
  let database = null;
  let module = null;        // the running program's module, whose file system holds a copy
  let known = new Map();    // what that copy held when it last met the store: path -> "time size"

  function open() {
    if (!database) {
      database = new Promise((resolve, reject) => {
        const request = indexedDB.open(ROOT, DB_VERSION);
        request.onupgradeneeded = () => {
          const db = request.result;
          const store = db.objectStoreNames.contains(STORE)
            ? request.transaction.objectStore(STORE) : db.createObjectStore(STORE);
          if (!store.indexNames.contains('timestamp')) store.createIndex('timestamp', 'timestamp', { unique: false });
        };
        request.onsuccess = () => {
          // A newer page that changes the store's layout is not held up.
          request.result.onversionchange = () => {
            request.result.close();
            database = null;
          };
          resolve(request.result);
        };
        request.onerror = () => reject(request.error);
        request.onblocked = () => reject(new Error('the store is held by an older page'));
      });
      database.catch(() => { database = null; });
    }
    return database;
  }

  // One transaction; resolves with what the work returned once it is
  // committed.
  async function transact(mode, work) {
    const db = await open();
    return new Promise((resolve, reject) => {
      const transaction = db.transaction([STORE], mode);
      let result;
      transaction.oncomplete = () => resolve(result);
      transaction.onerror = () => reject(transaction.error);
      transaction.onabort = () => reject(transaction.error || new Error('aborted'));
      result = work(transaction.objectStore(STORE));
    });
  }

  const keyOf = (path) => ROOT + '/' + path;
  const isFileEntry = (entry) => entry && entry.contents instanceof Uint8Array;

  // The whole folder as the store holds it now.
  async function load() {
    const found = new Map();
    await transact('readonly', (store) => {
      const request = store.openCursor();
      request.onsuccess = () => {
        const cursor = request.result;
        if (!cursor) return;
        const key = String(cursor.key);
        if (key.startsWith(ROOT + '/') && isFileEntry(cursor.value) && !temporary(key.slice(ROOT.length + 1)))
          found.set(key.slice(ROOT.length + 1), cursor.value);
        cursor.continue();
      };
    });
    files.clear();
    for (const [path, entry] of found) files.set(path, entry);
    changed();
  }

  // What one path holds in the store now (undefined: nothing).
  async function read(path) {
    let entry;
    await transact('readonly', (store) => {
      const request = store.get(keyOf(path));
      request.onsuccess = () => { entry = request.result; };
    });
    return isFileEntry(entry) ? entry : undefined;
  }

  // Writes and deletes these paths in one transaction, then tells the
  // other tabs.
  let writing = 0;  // transactions under way
  async function apply(puts, removals) {
    if (!puts.length && !removals.length) return;
    writing += 1;
    try {
      await transact('readwrite', (store) => {
        for (const [path, entry] of puts) store.put(entry, keyOf(path));
        for (const path of removals) store.delete(keyOf(path));
      });
    } finally {
      writing -= 1;
    }
    for (const [path, entry] of puts) files.set(path, entry);
    for (const path of removals) files.delete(path);
    if (channel) channel.postMessage({ changed: puts.map(([path]) => path), removed: removals });
    changed();
  }

  function changed() {
    for (const listener of listeners) listener();
  }

  // ---- The running program's copy -------------------------------------------

  function stamp(FS, path) {
    const stat = FS.stat(path);
    return stat.mtime.getTime() + ' ' + stat.size;
  }

  function makeParents(FS, path) {
    let at = ROOT;
    for (const part of path.split('/').slice(0, -1)) {
      at += '/' + part;
      try { FS.mkdir(at); } catch (e) { /* there already */ }
    }
  }

  // Puts a stored file into the program's copy, whole: written beside and
  // renamed over, so that a program reading the old one goes on reading it.
  function place(path, entry) {
    const FS = module.FS;
    makeParents(FS, path);
    FS.writeFile(INCOMING, entry.contents);
    const time = new Date(entry.timestamp).getTime();
    FS.utime(INCOMING, time, time);
    FS.rename(INCOMING, ROOT + '/' + path);
    known.set(path, stamp(FS, ROOT + '/' + path));
  }

  function removeFromCopy(path) {
    try { module.FS.unlink(ROOT + '/' + path); } catch (e) { /* not there */ }
    known.delete(path);
  }

  // Every file of the program's copy: path -> its stamp.
  function walk(FS, dir, prefix, into) {
    for (const name of FS.readdir(dir)) {
      if (name === '.' || name === '..') continue;
      const full = dir + '/' + name, path = prefix + name;
      const stat = FS.stat(full);
      if (FS.isDir(stat.mode)) walk(FS, full, path + '/', into);
      else if (FS.isFile(stat.mode) && !temporary(path)) into.set(path, stat.mtime.getTime() + ' ' + stat.size);
    }
    return into;
  }

  // Fills a program's file system with the folder (its preRun).
  function attach(newModule) {
    module = newModule;
    known = new Map();
    module.FS.mkdir(ROOT);
    for (const [path, entry] of files) place(path, entry);
  }

  // Every change to the store and every word from another tab is handled
  // in turn, one after the other: a removal told after a change is applied
  // after it, and what a tab reads from the store is never older than what
  // it wrote itself. One that fails is reported and does not stop the next.
  let queue = Promise.resolve();
  function inTurn(work) {
    const run = queue.then(work);
    queue = run.catch(() => {});
    return run;
  }

  // What the program changed since its copy last met the store, written to
  // the store file by file: new and changed files, and the files it removed
  // (only those: what other tabs stored and this copy never held stays).
  // The copy is the one attached when this is asked, even if the program
  // has ended by the time it is this change's turn.
  function store() {
    if (!module) return inTurn(() => undefined);
    const FS = module.FS, copy = known;
    return inTurn(() => {
      let now;
      try { now = walk(FS, ROOT, '', new Map()); } catch (e) { return undefined; }
      const puts = [], removals = [];
      for (const [path, mark] of now) {
        if (copy.get(path) === mark) continue;
        const stat = FS.stat(ROOT + '/' + path);
        puts.push([path, { timestamp: stat.mtime, mode: stat.mode, contents: FS.readFile(ROOT + '/' + path) }]);
      }
      for (const path of copy.keys()) {
        if (!now.has(path)) removals.push(path);
      }
      // The copy counts as stored only once the store has it.
      return apply(puts, removals).then(() => {
        for (const [path] of puts) copy.set(path, now.get(path));
        for (const path of removals) copy.delete(path);
      });
    });
  }

  // The program has ended: its last changes are stored and its copy let go.
  function detach() {
    const last = store();
    module = null;
    known = new Map();
    return last;
  }

  // ---- The page's own changes and the other tabs' -----------------------------

  function add(name, bytes) {
    const entry = { timestamp: new Date(), mode: FILE_MODE, contents: bytes };
    return inTurn(async () => {
      await apply([[name, entry]], []);
      if (module) place(name, entry);
    });
  }

  function remove(name) {
    return inTurn(async () => {
      await apply([], [name]);
      if (module) removeFromCopy(name);
    });
  }

  // Another tab changed the store: what it names is read as the store
  // holds it now, in turn with this tab's own changes.
  if (channel) {
    channel.onmessage = (event) => {
      const { changed: paths = [], removed = [] } = event.data || {};
      heard += paths.length + removed.length;
      inTurn(async () => {
        for (const path of paths) {
          const entry = await read(path);
          if (!entry) continue;
          files.set(path, entry);
          if (module) place(path, entry);
        }
        for (const path of removed) {
          files.delete(path);
          if (module) removeFromCopy(path);
        }
        changed();
      }).catch(() => {});
    };
  }

  // The whole folder read again (a tab back from sleep, which may have
  // missed a word), in turn.
  function reload() {
    return inTurn(load);
  }

  // The names shown in the list: the folder's own files, not the
  // configuration kept under dot-folders.
  function names() {
    return [...files.keys()].filter((path) => !path.includes('/') && path[0] !== '.').sort();
  }

  return {
    load: reload,
    attach,
    store,
    detach,
    add,
    remove,
    names,
    busy: () => writing > 0,
    heard: () => heard,
    // The running program's copy of a file (for the tests).
    copy: (name) => (module ? module.FS.readFile(ROOT + '/' + name) : new Uint8Array(0)),
    size: (name) => (files.get(name) ? files.get(name).contents.length : 0),
    bytes: (name) => (files.get(name) ? files.get(name).contents : new Uint8Array(0)),
    onChange: (listener) => listeners.push(listener),
    root: ROOT,
  };
}());
