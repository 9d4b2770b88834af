// The page around the programs: it starts equation or polymul (WebAssembly
// modules made by Emscripten, each fetched when first wanted, equation's
// early), turns keys, IME text and a soft keyboard's input into the window
// messages the run-time expects, and lets the grid (grid.js) draw what the
// program shows; the folder is folder.js's (its list files.js's), and the
// versions and offline use versions.js's.
(function () {
  'use strict';

  // Window messages and virtual keys the run-time was written against.
  const WM = { SETFOCUS: 0x07, KILLFOCUS: 0x08, CLOSE: 0x10, KEYDOWN: 0x100, KEYUP: 0x101, CHAR: 0x102,
               SYSKEYDOWN: 0x104, SYSCOMMAND: 0x112, LBUTTONDOWN: 0x201, LBUTTONUP: 0x202,
               LBUTTONDBLCLK: 0x203, RBUTTONDOWN: 0x204, RBUTTONUP: 0x205, MOUSEWHEEL: 0x20A };
  const VK = { SHIFT: 0x10, CONTROL: 0x11, PRIOR: 0x21, NEXT: 0x22, END: 0x23, HOME: 0x24, LEFT: 0x25, UP: 0x26,
               RIGHT: 0x27, DOWN: 0x28, INSERT: 0x2D, DELETE: 0x2E, CLEAR: 0x0C, F1: 0x70 };
  const COPY_TEXT = 103, COPY_IMAGE = 104;
  const TYPED = -1;  // an event carrying a typed character's code point

  const $ = (id) => document.getElementById(id);
  const Grid = window.TesselGrid, Folder = window.TesselFolder;
  const Versions = window.TesselVersions, Files = window.TesselFiles;
  const { storeFailed, storeFolder } = Files;
  const { showUpdate, lookForUpdate, keepForOffline, newerOnServer } = Versions;
  const keys = $('keys');
  const status = $('status');
  const buttons = { equation: $('start-equation'), polymul: $('start-polymul') };
  // The programs' files, named by their content (index.html says which).
  const script = document.currentScript;
  const programFiles = {
    equation: (script && script.dataset.equation) || 'equation',
    polymul: (script && script.dataset.polymul) || 'polymul',
  };
  const factoryNames = { equation: 'TesselEquation', polymul: 'TesselPolymul' };

  let events = [];   // triples: message, wParam, lParam
  let waker = null;  // wakes the program's key wait
  let wakeTimer = 0;
  let composing = false;
  let running = null;  // the module of the program that runs ({starting: true} while it loads)
  let lastEscape = 0;
  let waited = null;   // told when a program first waits for the user

  // What the page measures for those who ask (the browser test): when the
  // last Enter was pressed, and when the program, having drawn what that
  // Enter made it do, next waited for the user.
  // And how many programs' modules are still in memory (an ended one is let
  // go, and counted out once the garbage collector has taken it).
  const timing = { enter: 0, answer: 0, turns: 0, modules: 0, ready: 0 };
  const collected = window.FinalizationRegistry ? new FinalizationRegistry(() => { timing.modules -= 1; }) : null;
  Object.defineProperty(timing, 'draws', { get: () => Grid.timing.draws, enumerable: true });
  Object.defineProperty(timing, 'drawing', { get: () => Grid.timing.drawing, enumerable: true });
  window.tesselTiming = timing;
  window.tesselGridText = Grid.text;

  function say(text) {
    status.textContent = text;
  }

  // Opened from a file, the page can fetch nothing: it says how to serve it.
  if (location.protocol === 'file:') {
    const notice = $('notice');
    notice.hidden = false;
    notice.textContent = 'このページはファイルとして開いても動きません。フォルダを HTTP で配信して開いてください。' +
      '例: python3 -m http.server -d (このフォルダ) 8000 を実行し、http://localhost:8000/ を開く。' +
      ' (This page must be served over HTTP, e.g. python3 -m http.server -d FOLDER 8000, then open http://localhost:8000/.)';
    say('');
    return;
  }

  function post(message, wParam, lParam) {
    events.push(message, wParam, lParam || 0);
    if (waker) waker();
  }
  function key(vk) {
    post(WM.KEYDOWN, vk);
    post(WM.KEYUP, vk);
  }

  // ---- Keys --------------------------------------------------------------

  const editing = {
    ArrowLeft: VK.LEFT, ArrowRight: VK.RIGHT, ArrowUp: VK.UP, ArrowDown: VK.DOWN, Home: VK.HOME, End: VK.END,
    Insert: VK.INSERT, Delete: VK.DELETE, PageUp: VK.PRIOR, PageDown: VK.NEXT, Clear: VK.CLEAR,
  };
  const characters = { Backspace: 8, Enter: 13, Escape: 27 };

  // Out of the grid: by Tab as out of any field (the line editor has no
  // use for Tab), and by Escape twice, which lands on the zoom control (a
  // key pressed next does nothing to the program there).
  function leaveGrid() {
    $('zoom').focus();
  }

  keys.addEventListener('keydown', (e) => {
    if (!running || e.isComposing || e.keyCode === 229) return;
    const name = e.key;
    if (name === 'Tab') return;  // the browser moves the focus
    const f = /^F([1-9]|1[0-2])$/.exec(name);
    if (name === 'Shift') return post(WM.KEYDOWN, VK.SHIFT);
    if (name === 'Control') return post(WM.KEYDOWN, VK.CONTROL);
    if (e.altKey) {
      // A system key: of these only F10 is a key of the program (the host
      // decides); the browser keeps Alt with anything else.
      if (f) {
        e.preventDefault();
        post(WM.SYSKEYDOWN, VK.F1 + Number(f[1]) - 1);
      }
      return;
    }
    if (name in editing) {
      e.preventDefault();
      return key(editing[name]);
    }
    if (name === 'Escape') {
      const now = performance.now();
      if (now - lastEscape < 1000) {
        lastEscape = 0;
        e.preventDefault();
        return leaveGrid();
      }
      lastEscape = now;
    }
    if (name in characters) {
      e.preventDefault();
      if (name === 'Enter') {
        Object.assign(timing, { enter: performance.now(), answer: 0 });
        Object.assign(Grid.timing, { draws: 0, drawing: 0 });
      }
      return post(WM.CHAR, characters[name]);
    }
    if (f) {
      e.preventDefault();
      return key(VK.F1 + Number(f[1]) - 1);
    }
    // Control with a letter is a control character, except Ctrl+V, which
    // pastes text as if typed.
    if (e.ctrlKey && !e.metaKey && /^[a-zA-Z]$/.test(name) && name.toLowerCase() !== 'v') {
      e.preventDefault();
      return post(WM.CHAR, name.toUpperCase().charCodeAt(0) - 64);
    }
  });
  keys.addEventListener('keyup', (e) => {
    if (!running) return;
    if (e.key === 'Shift') post(WM.KEYUP, VK.SHIFT);
    if (e.key === 'Control') post(WM.KEYUP, VK.CONTROL);
  });

  // Typed and pasted text, and what the IME gives when a composition ends:
  // the program gets it character by character (in CP932, converted by the
  // module).
  function takeTyped() {
    const text = keys.value;
    keys.value = '';
    if (!running) return;
    for (const ch of text) {
      const code = ch.codePointAt(0);
      if (code === 10 || code === 13) post(WM.CHAR, 13);
      else post(TYPED, code);
    }
  }
  keys.addEventListener('input', () => {
    if (!composing) takeTyped();
  });
  // A soft keyboard sends editing as input events (its keys arrive without
  // a name, keyCode 229): deleting and ending lines become the keys they
  // stand for. Within a composition they edit the composition.
  keys.addEventListener('beforeinput', (e) => {
    if (!running || composing || e.isComposing) return;
    const meaning = { deleteContentBackward: () => post(WM.CHAR, 8), deleteContentForward: () => key(VK.DELETE),
                      insertLineBreak: () => post(WM.CHAR, 13), insertParagraph: () => post(WM.CHAR, 13) };
    const act = meaning[e.inputType];
    if (!act) return;
    e.preventDefault();
    act();
  });
  keys.addEventListener('compositionstart', () => {
    composing = true;
    keys.classList.add('composing');
  });
  keys.addEventListener('compositionend', () => {
    composing = false;
    keys.classList.remove('composing');
    takeTyped();
  });
  keys.addEventListener('focus', () => {
    if (running) post(WM.SETFOCUS, 0);
    Grid.redraw();
  });
  keys.addEventListener('blur', () => {
    if (running) post(WM.KILLFOCUS, 0);
    Grid.redraw();
  });

  // The mouse on the grid: the key field takes the focus, the program gets
  // the buttons and the wheel.
  const canvas = $('grid');
  canvas.addEventListener('mousedown', (e) => {
    e.preventDefault();
    if (running) keys.focus();
    if (running) post(e.button === 2 ? WM.RBUTTONDOWN : WM.LBUTTONDOWN, 0);
  });
  canvas.addEventListener('mouseup', (e) => {
    if (running) post(e.button === 2 ? WM.RBUTTONUP : WM.LBUTTONUP, 0);
  });
  canvas.addEventListener('dblclick', () => {
    if (running) post(WM.LBUTTONDBLCLK, 0);
  });
  canvas.addEventListener('wheel', (e) => {
    if (!running) return;
    e.preventDefault();
    post(WM.MOUSEWHEEL, (Math.round(-e.deltaY) & 0xFFFF) * 0x10000);
  }, { passive: false });
  canvas.addEventListener('contextmenu', (e) => e.preventDefault());

  // ---- The page as the program's window (Module.tesselPage) ---------------

  // Each module gets its own view of the page, which it loses when the page
  // has ended it: a module that is still running then (it should not be)
  // draws nothing, takes no keys and waits for ever, and is let go.
  let current = null;  // the running module's {live}
  function pageFor(token) {
    const view = {};
    for (const [name, method] of Object.entries(page)) {
      view[name] = (...args) => {
        if (token.live) return method(...args);
        return name === 'take' ? 0 : name === 'open' ? false : undefined;
      };
    }
    return view;
  }

  const page = {
    open: () => true,
    draw: Grid.draw,
    title(text) {
      $('title').textContent = text;
      document.title = text + ' - Tessel';
    },
    take(into, capacity) {
      const n = Math.min(capacity, events.length / 3);
      for (let i = 0; i < n * 3; ++i) into[i] = events[i];
      events = events.slice(n * 3);
      return n;
    },
    // Waits at most ms milliseconds, less when the user does something.
    wait(ms, wakeUp) {
      if (timing.enter && !timing.answer) timing.answer = performance.now();
      if (waited) waited();
      Grid.mirror();
      let done = false;
      const fire = () => {
        if (done) return;
        done = true;
        clearTimeout(wakeTimer);
        waker = null;
        wakeUp();
      };
      wakeTimer = setTimeout(fire, ms);
      waker = fire;
    },
    alert(caption, text) {
      window.alert(caption + '\n\n' + text);
    },
    copyText(text) {
      if (!navigator.clipboard) return false;
      navigator.clipboard.writeText(text).catch(() => say('クリップボードに書けませんでした。'));
      return true;
    },
    copyImage() {
      if (!navigator.clipboard || !window.ClipboardItem) return false;
      Grid.toBlob((png) => {
        navigator.clipboard.write([new ClipboardItem({ 'image/png': png })])
          .catch(() => say('クリップボードに書けませんでした。'));
      });
      return true;
    },
    beep() {
      try {
        const audio = page.audio || (page.audio = new AudioContext());
        const tone = audio.createOscillator();
        tone.frequency.value = 880;
        tone.connect(audio.destination);
        tone.start();
        tone.stop(audio.currentTime + 0.1);
      } catch (e) { /* no sound here */ }
    },
    closed() {
      say('ウィンドウを閉じました。');
    },
    ended(code) {
      ended(code);
    },
    storeFiles() {
      storeFolder();
    },
    // A large file of the folder is read when the program opens it.
    needs: (name) => Folder.needs(name),
    fill: (name, done) => Folder.fill(name, done),
  };

  // ---- Starting the programs ----------------------------------------------

  // Each program's code is fetched and compiled once for the page, when it is
  // first wanted, and instantiated for every start.
  const compiled = {}, loaded = {};
  class Unavailable extends Error {}
  async function fetchCode(file) {
    let response;
    try {
      response = await fetch(file);
    } catch (e) {
      throw new Unavailable('network');
    }
    if (!response.ok) throw new Unavailable(String(response.status));
    return response;
  }
  function compile(name) {
    if (!compiled[name]) {
      const file = programFiles[name] + '.wasm';
      compiled[name] = fetchCode(file).then((response) => WebAssembly.compileStreaming(response.clone())
        .catch(() => response.arrayBuffer().then((bytes) => WebAssembly.compile(bytes))));
      compiled[name].catch(() => delete compiled[name]);
    }
    return compiled[name];
  }
  function loadFactory(name) {
    if (!loaded[name]) {
      loaded[name] = new Promise((resolve, reject) => {
        const tag = document.createElement('script');
        tag.src = programFiles[name] + '.js';
        tag.onload = () => resolve(window[factoryNames[name]]);
        tag.onerror = () => reject(new Unavailable(tag.src));
        document.head.append(tag);
      });
      loaded[name].catch(() => delete loaded[name]);
    }
    return loaded[name];
  }

  // A module whose folder is a copy of the stored one, made the current
  // folder (and the home, where the registry store lives).
  async function makeModule(name) {
    const [factory] = await Promise.all([loadFactory(name), compile(name), Folder.prepare()]);
    current = { live: true };
    const config = {
      tesselPage: pageFor(current),
      instantiateWasm(imports, receive) {
        compile(name)
          .then((code) => WebAssembly.instantiate(code, imports).then((instance) => receive(instance, code)))
          .catch((e) => ended(-1, name + ' を読み込めませんでした: ' + e));
        return {};
      },
      print: (text) => console.log(text),
      printErr: (text) => console.warn(text),
      preRun: [(module) => {
        Folder.attach(module);
        module.ENV.HOME = Folder.root;
        module.FS.chdir(Folder.root);
        // Only the folder is kept. Elsewhere nothing can be created, so that
        // an answer saved outside it (../x.txt, /tmp/x.txt) is refused and
        // asked for again instead of vanishing with the page.
        for (const dir of ['/tmp', '/home/web_user', '/home', '/']) {
          try { module.FS.chmod(dir, 0o555); } catch (e) { /* not there */ }
        }
      }],
      // A fault ends the module: the run-time's report line says where.
      onAbort: () => {
        let line = '';
        try { line = config.UTF8ToString(config._TesselFatalLine()); } catch (e) { /* nothing to say */ }
        ended(-1, line || 'プログラムが異常終了しました。');
      },
    };
    return factory(config);
  }

  function setRunning(module) {
    running = module;
    window.tesselRunning = module && !module.starting ? module : null;  // for the tests
    for (const b of Object.values(buttons)) b.disabled = !!module;
    for (const id of ['copy-text', 'copy-image', 'close']) $(id).disabled = !module;
    // The grid is a stop of the Tab order only while a program runs.
    keys.tabIndex = module ? 0 : -1;
  }

  // The program has ended: what it saved last is stored, and its module (its
  // memory) let go; the folder stays as the store holds it.
  function ended(code, fatal) {
    if (!running) return;
    if (current) current.live = false;
    current = null;
    setRunning(null);
    events = [];
    clearTimeout(wakeTimer);
    waker = null;
    Grid.mirror();
    say(fatal ? fatal : code === 0 ? 'プログラムは終わりました。' : 'プログラムはエラーで終わりました (' + code + ')。');
    Folder.detach().catch(storeFailed).then(() => {
      // What the store refused is said again, as the last word of the run.
      const unkept = Folder.unkept().filter((name) => Folder.names().includes(name));
      if (unkept.length && Folder.without() !== 'none') {
        say(status.textContent + ' ' + unkept.join('、') + ' はブラウザに保存されていません (' + Folder.refusal() + ')。' +
            '一覧からダウンロードできます。');
      }
    });
  }

  // Why a program could not start, in words a visitor can act on.
  async function cannotStart(name, e) {
    const program = name === 'equation' ? '数式展開 (equation)' : '数式乗算 (polymul)';
    if (e instanceof Unavailable) {
      if (await newerOnServer()) {
        showUpdate();
        return program + ' を始められません: このページは古い版で、その版のプログラムはもうサーバーにありません。' +
          '「再読み込み」で新しい版を開いてください。';
      }
      if (!navigator.onLine || e.message === 'network') {
        return program + ' を始められません: プログラムのファイルを取得できませんでした。ネットワークにつながっているか' +
          '確かめてください (一度オンラインで開いたページは、次からオフラインでも使えます)。';
      }
      return program + ' を始められません: サーバーがプログラムのファイルを返しませんでした (' + e.message + ')。' +
        '少し待ってから再読み込みしてください。';
    }
    return program + ' を始められませんでした: ' + e + '。再読み込みしてください。';
  }

  async function start(name) {
    if (running) return;
    events = [];
    say('');
    Grid.newLog();
    lookForUpdate();
    setRunning({ starting: true });
    // Keys typed while the program loads wait for it in the queue.
    if (document.activeElement === keys) post(WM.SETFOCUS, 0);
    else keys.focus();
    try {
      await storeFolder();  // a program that ended a moment ago has its files stored
      const module = await makeModule(name);
      timing.modules += 1;
      if (collected) collected.register(module, name);
      if (running && running.starting) setRunning(module);
    } catch (e) {
      setRunning(null);
      Grid.blank();  // no question of an earlier program is left standing
      say(await cannotStart(name, e));
    }
  }

  buttons.equation.addEventListener('click', () => start('equation'));
  buttons.polymul.addEventListener('click', () => start('polymul'));
  $('copy-text').addEventListener('click', () => { post(WM.SYSCOMMAND, COPY_TEXT); keys.focus(); });
  $('copy-image').addEventListener('click', () => { post(WM.SYSCOMMAND, COPY_IMAGE); keys.focus(); });
  $('close').addEventListener('click', () => { post(WM.CLOSE, 0); keys.focus(); });

  // An exception that escapes the program (none should) ends it with what it
  // said, instead of leaving the page waiting for a program that is gone.
  window.addEventListener('error', (e) => {
    const fromProgram = Object.values(programFiles).some((f) => String(e.filename || '').endsWith(f + '.js'));
    if (running && !running.starting && fromProgram) ended(-1, 'プログラムが異常終了しました: ' + (e.message || e.error));
  });

  // Closing the page closes the window. It asks first while a save is
  // under way (from the moment the program begins to write it until the
  // browser's store holds it), and while the folder holds files the store
  // does not (without a store, or where it refused them).
  function leavingLoses() {
    let saving = false;
    try { saving = !!(running && running._TesselSaving && running._TesselSaving()); } catch (e) { /* ended */ }
    return saving || Folder.busy() || Folder.unkept().length > 0;
  }
  window.tesselLeavingLoses = leavingLoses;
  window.addEventListener('beforeunload', (e) => {
    if (!leavingLoses()) return;
    e.preventDefault();
    e.returnValue = '';
  });

  // Back to a tab that slept: the folder as the store holds it now, and
  // whether there is a newer version.
  document.addEventListener('visibilitychange', () => {
    if (document.visibilityState !== 'visible') return;
    if (!running) Folder.load().catch(() => {});
    lookForUpdate();
  });

  // At once: the folder from the store (the buttons then work), the code of
  // the program asked for in the address, or else of equation, which most
  // visits start (polymul's is fetched only when it is started), and the
  // screen font, side by side. The grid is drawn in a system font until the
  // screen font is there.
  const wanted = new URLSearchParams(location.search).get('program');
  const first = wanted === 'polymul' ? 'polymul' : 'equation';
  Grid.blank();
  const early = [compile(first), loadFactory(first), document.fonts.load(Grid.font)];
  early[2].then(() => Grid.redraw(), () => {});
  // The worker fetches every file of the version: not before the program
  // asked for at once has asked its first question.
  const firstQuestion = wanted === 'equation' || wanted === 'polymul'
    ? new Promise((resolve) => { waited = () => { waited = null; resolve(); }; }) : Promise.resolve();
  Promise.allSettled(early).then(() => firstQuestion).then(keepForOffline);
  // Without the browser's store (blocked, or a private window that has
  // none) the programs still run; what they save lasts only for this visit.
  Folder.load().catch(() => {}).then(() => {
    Files.noticeFolder();
    const refused = Folder.refused();
    if (refused.length) {
      say('フォルダに、プログラムが使えない名前のファイルが ' + refused.length + ' 個あります。' +
          'プログラムには見えません。一覧の「削除」で消せます。');
    }
    for (const b of Object.values(buttons)) b.disabled = false;
    timing.ready = performance.now();
    if (wanted === 'equation' || wanted === 'polymul') start(wanted);
  });

}());
