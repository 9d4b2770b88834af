// The programs' folder, kept in the browser's store (IndexedDB) and shared by
// every tab of the page. Each change (a program's save, an upload, a delete)
// is written as that one file's change, never as a copy of a tab's whole
// folder, so a tab never removes what another stored; the other tabs hear of
// it (BroadcastChannel) and bring their list and their running program's
// copy up to date.
//
// The store keeps the layout that Emscripten's IDBFS gave it (database
// "/tessel", store "FILE_DATA", key the file's path, value {timestamp, mode,
// contents}), except that since version 22 the contents are a Blob, which
// the browser keeps apart and reads only when asked: the list of a folder
// holding a file of hundreds of megabytes is read at once, and a program's
// copy of such a file is made when the program opens it. A store of an older
// layout is brought to this one when first opened; a page older than the
// store it meets never writes to it.
//
// Without a store (a private window, storage blocked) the folder lives in
// the page for the visit. A file that could not be stored stays in the list,
// marked, until it is.
window.TesselFolder = (function () {
  'use strict';

  const ROOT = '/tessel';
  const DB_VERSION = 22;
  const STORE = 'FILE_DATA';
  const FILE_MODE = 0o100666;
  const INCOMING = ROOT + '/.tessel-incoming';
  // Files larger than this are copied into a program's folder when the
  // program opens them, not when it starts.
  const EAGER = 8 * 1024 * 1024;
  // A program's temporary while it saves (.NAME.tessel-PID-XXXXXX) and the
  // error store's lock while it is held: never kept.
  const temporary = (name) => /(^|\/)\.[^/]*\.tessel-\d+-[A-Za-z0-9]{6}$/.test(name) ||
    name === '.tessel-incoming' || /\.lock\.held$/.test(name);

  // Why the programs cannot use a path of the folder ('' when they can):
  // each of its parts must be a name a folder entry can have.
  const utf8 = new TextEncoder();
  function unusable(path) {
    if (path === '') return '名前がありません';
    for (const part of path.split('/')) {
      if (part === '') return '名前に空の部分があります';
      if (part === '.' || part === '..') return '名前が「' + part + '」です';
      if (part.includes('\0')) return '名前に NUL 文字があります';
      if (utf8.encode(part).length > 255) return '名前が 255 バイトより長いです';
    }
    return '';
  }

  // path -> {timestamp: Date, mode, contents: Uint8Array or Blob, size,
  //          bytes: the contents when read, kept: whether the store has it}
  const files = new Map();
  const refused = new Map();  // entries of the store no program can use: path -> why
  let heard = 0;              // paths other tabs told of (for the tests)
  const listeners = [];
  const channel = window.BroadcastChannel ? new BroadcastChannel('tessel-folder') : null;
  let database = null;
  // Why the store is not used: null while it is; 'none' where the browser
  // gives none (the folder lives for the visit); 'newer' where a newer page
  // changed its layout (this page may not write it).
  let without = null;
  let module = null;       // the running program's module, whose file system holds a copy
  let known = new Map();   // what that copy held when it last met the store: path -> "time size"
  let lazy = new Map();    // files of the copy not read yet (empty until the program opens them): path -> entry
  let refusal = '';        // why the store last refused a change

  class StoreError extends Error {
    constructor(message, names) {
      super(message);
      this.names = names;
    }
  }

  function newerLayout() {
    without = 'newer';
    database = null;
    changed();
  }

  function open() {
    if (without) return Promise.reject(new StoreError(without === 'newer' ? 'VersionError' : 'no store', []));
    if (!database) {
      database = new Promise((resolve, reject) => {
        if (!window.indexedDB) throw new Error('IndexedDB is not available');
        const request = indexedDB.open(ROOT, DB_VERSION);
        request.onupgradeneeded = (event) => {
          const db = request.result;
          const store = db.objectStoreNames.contains(STORE)
            ? request.transaction.objectStore(STORE) : db.createObjectStore(STORE);
          if (!store.indexNames.contains('timestamp')) store.createIndex('timestamp', 'timestamp', { unique: false });
          // The contents of an older layout become Blobs.
          if (event.oldVersion > 0 && event.oldVersion < 22) {
            store.openCursor().onsuccess = (e) => {
              const cursor = e.target.result;
              if (!cursor) return;
              const value = cursor.value;
              if (value && value.contents instanceof Uint8Array) {
                cursor.update({ ...value, contents: new Blob([value.contents]) });
              }
              cursor.continue();
            };
          }
        };
        request.onsuccess = () => {
          // A newer page that changes the store's layout is not held up;
          // this one no longer writes to it.
          request.result.onversionchange = (event) => {
            request.result.close();
            if (event.newVersion === null) database = null;  // deleted (the site's data cleared)
            else newerLayout();
          };
          resolve(request.result);
        };
        request.onerror = () => {
          if (request.error && request.error.name === 'VersionError') newerLayout();
          reject(request.error);
        };
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
  const isFileEntry = (entry) => entry && (entry.contents instanceof Uint8Array || entry.contents instanceof Blob);
  const sizeOf = (contents) => (contents instanceof Blob ? contents.size : contents.length);

  function fromStore(value) {
    return { timestamp: value.timestamp, mode: value.mode, contents: value.contents, size: sizeOf(value.contents),
             bytes: value.contents instanceof Uint8Array ? value.contents : null, kept: true };
  }

  async function bytesOf(entry) {
    if (!entry.bytes) entry.bytes = new Uint8Array(await entry.contents.arrayBuffer());
    return entry.bytes;
  }

  // The folder as the store holds it now: its names and sizes (the contents
  // are read when they are needed). Files this tab could not store stay.
  // Without a store: false, and the folder is the page's own.
  async function load() {
    if (without) return false;
    const found = new Map(), bad = new Map();
    try {
      await transact('readonly', (store) => {
        const request = store.openCursor();
        request.onsuccess = () => {
          const cursor = request.result;
          if (!cursor) return;
          const key = String(cursor.key);
          const path = key.slice(ROOT.length + 1);
          if (key.startsWith(ROOT + '/') && isFileEntry(cursor.value) && !temporary(path)) {
            const why = unusable(path);
            if (why) bad.set(path, why);
            else found.set(path, fromStore(cursor.value));
          }
          cursor.continue();
        };
      });
    } catch (e) {
      if (!without) without = 'none';
      changed();
      throw e;
    }
    for (const [path, entry] of files) {
      if (!entry.kept) found.set(path, entry);
    }
    files.clear();
    for (const [path, entry] of found) files.set(path, entry);
    refused.clear();
    for (const [path, why] of bad) refused.set(path, why);
    changed();
    return true;
  }

  // What one path holds in the store now (undefined: nothing).
  async function read(path) {
    let entry;
    await transact('readonly', (store) => {
      const request = store.get(keyOf(path));
      request.onsuccess = () => { entry = request.result; };
    });
    return isFileEntry(entry) ? fromStore(entry) : undefined;
  }

  // Writes and deletes these paths in one transaction, then tells the
  // other tabs. Files not kept so far are tried again with them. What the
  // store refuses stays in the folder, not kept: the error names it.
  async function apply(puts, removals) {
    if (!puts.length && !removals.length) return;
    const fresh = puts.length;
    if (without !== 'newer') {
      for (const [path, entry] of files) {
        if (!entry.kept && !puts.some(([p]) => p === path) && !removals.includes(path)) puts.push([path, entry]);
      }
    }
    for (const path of removals) {
      files.delete(path);
      refused.delete(path);
    }
    if (without) {
      for (const [path, entry] of puts) files.set(path, { ...entry, kept: false });
      changed();
      if (without === 'newer' && fresh) {
        throw new StoreError('a newer page changed the store (VersionError)', puts.map(([path]) => path));
      }
      return;
    }
    try {
      await transact('readwrite', (store) => {
        for (const [path, entry] of puts) {
          const contents = entry.contents instanceof Blob ? entry.contents : new Blob([entry.contents]);
          store.put({ timestamp: entry.timestamp, mode: entry.mode, contents }, keyOf(path));
        }
        for (const path of removals) store.delete(keyOf(path));
      });
    } catch (e) {
      for (const [path, entry] of puts) files.set(path, { ...entry, kept: false });
      refusal = String((e && e.name) || e) + (e && e.message ? ': ' + e.message : '');
      changed();
      throw new StoreError(refusal, puts.map(([path]) => path));
    }
    for (const [path, entry] of puts) files.set(path, { ...entry, kept: true });
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

  // Puts a file into the program's copy, whole: written beside and renamed
  // over, so that a program reading the old one goes on reading it. A file
  // whose contents have not been read yet is put there empty, to be filled
  // when the program opens it.
  function place(path, entry) {
    const FS = module.FS;
    makeParents(FS, path);
    FS.writeFile(INCOMING, entry.bytes || new Uint8Array(0));
    const time = new Date(entry.timestamp).getTime();
    FS.utime(INCOMING, time, time);
    FS.rename(INCOMING, ROOT + '/' + path);
    known.set(path, stamp(FS, ROOT + '/' + path));
    if (entry.bytes) lazy.delete(path);
    else lazy.set(path, entry);
  }

  function removeFromCopy(path) {
    try { module.FS.unlink(ROOT + '/' + path); } catch (e) { /* not there */ }
    known.delete(path);
    lazy.delete(path);
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

  // Before a program starts: the contents it will be given at once (every
  // file but the large ones) read from the store.
  async function prepare() {
    for (const entry of files.values()) {
      if (entry.size <= EAGER) await bytesOf(entry).catch(() => {});
    }
  }

  // Fills a program's file system with the folder (its preRun). The files
  // no program can use are left out.
  function attach(newModule) {
    module = newModule;
    known = new Map();
    lazy = new Map();
    module.FS.mkdir(ROOT);
    for (const [path, entry] of files) place(path, entry);
  }

  // The path of the folder a name the program opens stands for, or null.
  function folderPath(name) {
    const parts = [];
    const full = name.startsWith('/') ? name : module.FS.cwd() + '/' + name;
    for (const part of full.split('/')) {
      if (part === '' || part === '.') continue;
      if (part === '..') parts.pop();
      else parts.push(part);
    }
    const path = '/' + parts.join('/');
    return path.startsWith(ROOT + '/') ? path.slice(ROOT.length + 1) : null;
  }

  // Whether the program's copy of what it is about to open is still to be
  // read from the store.
  function needs(name) {
    if (!module) return false;
    const path = folderPath(name);
    if (path === null || !lazy.has(path)) return false;
    // The program may have written the file since: then it is its own.
    try {
      return stamp(module.FS, ROOT + '/' + path) === known.get(path);
    } catch (e) {
      return false;
    }
  }

  // Reads it and puts it into the copy, then lets the program go on. A
  // file that cannot be read is taken out of the copy (the program then
  // finds no such file), and the error is told.
  let onFillFailure = () => {};
  function fill(name, done) {
    const path = folderPath(name), entry = path !== null && lazy.get(path), filling = module;
    if (!entry) return done();
    bytesOf(entry).then(() => {
      if (module === filling && lazy.get(path) === entry) place(path, entry);
    }, (e) => {
      if (module === filling) removeFromCopy(path);
      onFillFailure(path, e);
    }).then(done);
  }

  // Every change to the store and every word from another tab is handled
  // in turn, one after the other: a removal told after a change is applied
  // after it, and what a tab reads from the store is never older than what
  // it wrote itself. One that fails is reported and does not stop the next.
  let queue = Promise.resolve();
  let writes = 0;  // changes of the folder waiting for their turn or under way
  function inTurn(work, write = false) {
    if (write) writes += 1;
    const run = queue.then(work).finally(() => { if (write) writes -= 1; });
    queue = run.catch(() => {});
    return run;
  }

  // What the program changed since its copy last met the store, written to
  // the store file by file: new and changed files, and the files it removed
  // (only those: what other tabs stored and this copy never held stays).
  // The copy is the one attached when this is asked, even if the program
  // has ended by the time it is this change's turn.
  function store() {
    if (!module) return inTurn(() => apply([], []));
    const FS = module.FS, copy = known, unread = lazy;
    return inTurn(() => {
      let now;
      try { now = walk(FS, ROOT, '', new Map()); } catch (e) { return undefined; }
      const puts = [], removals = [];
      for (const [path, mark] of now) {
        if (copy.get(path) === mark) continue;
        const stat = FS.stat(ROOT + '/' + path);
        const contents = FS.readFile(ROOT + '/' + path);
        puts.push([path, { timestamp: stat.mtime, mode: stat.mode, contents, size: contents.length, bytes: contents }]);
        unread.delete(path);
      }
      for (const path of copy.keys()) {
        if (!now.has(path)) removals.push(path);
      }
      // The copy counts as stored only once the store has it (or, without
      // a store, once the folder holds it).
      const counted = () => {
        for (const [path] of puts) copy.set(path, now.get(path));
        for (const path of removals) copy.delete(path);
      };
      return apply(puts, removals).then(counted, (e) => {
        counted();
        throw e;
      });
    }, true);
  }

  // The program has ended: its last changes are stored and its copy let go.
  function detach() {
    const last = store();
    module = null;
    known = new Map();
    lazy = new Map();
    return last;
  }

  // ---- The page's own changes and the other tabs' -----------------------------

  function add(name, contents) {
    const entry = { timestamp: new Date(), mode: FILE_MODE, contents, size: sizeOf(contents),
                    bytes: contents instanceof Uint8Array ? contents : null, kept: false };
    return inTurn(async () => {
      if (module && entry.size <= EAGER) await bytesOf(entry);
      if (module) place(name, entry);
      refused.delete(name);
      await apply([[name, entry]], []);
    }, true);
  }

  function remove(name) {
    return inTurn(async () => {
      if (module && files.has(name)) removeFromCopy(name);
      if (!files.has(name) && !refused.has(name)) return;
      await apply([], [name]);
    }, true);
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
          const why = unusable(path);
          if (why) {
            refused.set(path, why);
            continue;
          }
          files.set(path, entry);
          if (module && entry.size <= EAGER) await bytesOf(entry);
          if (module) place(path, entry);
        }
        for (const path of removed) {
          files.delete(path);
          refused.delete(path);
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
    prepare,
    attach,
    needs,
    fill,
    store,
    detach,
    add,
    remove,
    names,
    unusable,
    // The store's entries no program can use, with why: [[path, why]].
    refused: () => [...refused],
    // Why the store is not used (null while it is): 'none' or 'newer'.
    without: () => without,
    // Whether the file is in the browser's store (a file not kept is lost
    // with the page).
    kept: (name) => !files.has(name) || files.get(name).kept,
    // Files that closing the page would lose.
    unkept: () => [...files].filter(([, entry]) => !entry.kept).map(([path]) => path),
    // Why the store refused them, as it said.
    refusal: () => (without === 'newer' ? 'VersionError' : without === 'none' ? '' : refusal),
    busy: () => writes > 0,
    heard: () => heard,
    onFillFailure: (listener) => { onFillFailure = listener; },
    // The running program's copy of a file (for the tests).
    copy: (name) => (module ? module.FS.readFile(ROOT + '/' + name) : new Uint8Array(0)),
    size: (name) => (files.get(name) ? files.get(name).size : 0),
    // The contents of a file, as a Blob (for downloads).
    blob: (name) => {
      const entry = files.get(name);
      if (!entry) return new Blob([]);
      return entry.contents instanceof Blob ? entry.contents : new Blob([entry.contents]);
    },
    // The contents of a file, read (for the tests).
    contents: async (name) => (files.get(name) ? bytesOf(files.get(name)) : new Uint8Array(0)),
    onChange: (listener) => listeners.push(listener),
    root: ROOT,
    StoreError,
  };
}());
