// The page around the programs: it starts equation or polymul (WebAssembly
// modules made by Emscripten), draws their 80 x 24 grid on a canvas, turns
// keys and IME text into the window messages the run-time expects, and keeps
// the programs' folder in the browser's own store (IndexedDB), with download,
// upload and drop.
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
  const FOLDER = '/tessel';
  const FONT = '16px "IPAGothic", monospace';

  const $ = (id) => document.getElementById(id);
  const canvas = $('grid');
  const context = canvas.getContext('2d');
  const keys = $('keys');
  const status = $('status');
  const buttons = { equation: $('start-equation'), polymul: $('start-polymul') };
  const factories = { equation: window.TesselEquation, polymul: window.TesselPolymul };

  let cellWidth = 8, cellHeight = 16;
  let events = [];          // triples: message, wParam, lParam
  let waker = null;         // wakes the program's key wait
  let grid = null;          // what was drawn last, for the caret's blink
  let caretOn = true;
  let composing = false;
  let running = null;       // the module of the program that runs
  let folderModule = null;  // the module whose file system shows the folder
  let storing = Promise.resolve();
  let storeAgain = false, storeBusy = false;

  // What the page measures for those who ask (the browser test): when the
  // last Enter was pressed, and when the program, having drawn what that
  // Enter made it do, next waited for the user.
  const timing = { enter: 0, answer: 0, draws: 0, drawing: 0, turns: 0 };
  window.tesselTiming = timing;

  function post(message, wParam, lParam) {
    events.push(message, wParam, lParam || 0);
    if (waker) waker();
  }
  function key(vk) {
    post(WM.KEYDOWN, vk);
    post(WM.KEYUP, vk);
  }

  // ---- Drawing -----------------------------------------------------------

  function rgb(value) {
    return '#' + (value & 0xFFFFFF).toString(16).padStart(6, '0');
  }

  function resize(columns, rows) {
    const ratio = window.devicePixelRatio || 1;
    canvas.width = columns * cellWidth * ratio;
    canvas.height = rows * cellHeight * ratio;
    // The height follows the width, which a narrow window may make smaller.
    canvas.style.width = columns * cellWidth + 'px';
    context.setTransform(ratio, 0, 0, ratio, 0, 0);
  }

  function drawCaret() {
    if (!grid || !grid.caret || !caretOn || document.activeElement !== keys) return;
    context.fillStyle = '#ffffff';  // the caret of every display: bright white
    context.fillRect(grid.caretColumn * cellWidth, grid.caretRow * cellHeight, 2, cellHeight);
  }

  // The caret's blink redraws its row.
  function redrawCaretCell() {
    if (!grid) return;
    const { cells, columns, rows, caretRow } = grid;
    if (caretRow < 0 || caretRow >= rows) return;
    context.font = FONT;
    context.textBaseline = 'middle';
    context.fillStyle = rgb(grid.back);
    context.fillRect(0, caretRow * cellHeight, columns * cellWidth, cellHeight);
    drawRow(cells, columns, caretRow);
    drawCaret();
  }

  function drawRow(cells, columns, row) {
    const y = row * cellHeight;
    let column = 0;
    while (column < columns) {
      const i = (row * columns + column) * 3;
      const text = cells[i + 1], fill = cells[i + 2];
      let end = column, run = '', plain = true;
      while (end < columns && cells[(row * columns + end) * 3 + 1] === text &&
             cells[(row * columns + end) * 3 + 2] === fill) {
        const code = cells[(row * columns + end) * 3] & 0x7FFFFFFF;
        const wide = (cells[(row * columns + end) * 3] & 0x80000000) !== 0;
        if (code !== 0 || !(end > 0 && (cells[(row * columns + end - 1) * 3] & 0x80000000))) {
          run += code > 32 ? String.fromCodePoint(code) : ' ';
          if (code > 32) plain = false;
        }
        end += wide && end + 1 < columns ? 2 : 1;
      }
      if (fill & 0x01000000) {
        context.fillStyle = rgb(fill);
        context.fillRect(column * cellWidth, y, (end - column) * cellWidth, cellHeight);
      }
      if (!plain) {
        context.fillStyle = rgb(text);
        context.fillText(run, column * cellWidth, y + cellHeight / 2, (end - column) * cellWidth);
      }
      column = end;
    }
  }

  function draw(cells, columns, rows, caretColumn, caretRow, caret, back) {
    const began = performance.now();
    if (canvas.width !== Math.round(columns * cellWidth * (window.devicePixelRatio || 1))) resize(columns, rows);
    grid = { cells: Uint32Array.from(cells), columns, rows, caretColumn, caretRow, caret, back };
    context.font = FONT;
    context.textBaseline = 'middle';
    context.fillStyle = rgb(back);
    context.fillRect(0, 0, columns * cellWidth, rows * cellHeight);
    for (let row = 0; row < rows; ++row) drawRow(grid.cells, columns, row);
    caretOn = true;
    drawCaret();
    placeKeys();
    timing.draws += 1;
    timing.drawing += performance.now() - began;
  }

  // The grid as text, one line a row (for copying and for the tests).
  function gridText() {
    if (!grid) return '';
    const { cells, columns, rows } = grid;
    const lines = [];
    for (let row = 0; row < rows; ++row) {
      let line = '';
      for (let column = 0; column < columns; ++column) {
        const code = cells[(row * columns + column) * 3] & 0x7FFFFFFF;
        if (code === 0) continue;
        line += String.fromCodePoint(code < 32 ? 32 : code);
      }
      lines.push(line.replace(/\s+$/, ''));
    }
    return lines.join('\n');
  }
  window.tesselGridText = gridText;

  // The key field sits on the caret, so that the IME shows its composition
  // there.
  function placeKeys() {
    if (!grid) return;
    // The grid may be drawn smaller than its size where the window is narrow.
    const scale = canvas.clientWidth / (grid.columns * cellWidth) || 1;
    keys.style.left = grid.caretColumn * cellWidth * scale + 'px';
    keys.style.top = grid.caretRow * cellHeight * scale + 'px';
  }

  setInterval(() => {
    caretOn = !caretOn;
    redrawCaretCell();
  }, 530);

  // ---- Keys --------------------------------------------------------------

  const editing = {
    ArrowLeft: VK.LEFT, ArrowRight: VK.RIGHT, ArrowUp: VK.UP, ArrowDown: VK.DOWN, Home: VK.HOME, End: VK.END,
    Insert: VK.INSERT, Delete: VK.DELETE, PageUp: VK.PRIOR, PageDown: VK.NEXT, Clear: VK.CLEAR,
  };
  const characters = { Backspace: 8, Enter: 13, Tab: 9, Escape: 27 };

  keys.addEventListener('keydown', (e) => {
    if (!running || e.isComposing || e.keyCode === 229) return;
    const name = e.key;
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
    if (name in characters) {
      e.preventDefault();
      if (name === 'Enter') {
        Object.assign(timing, { enter: performance.now(), answer: 0, draws: 0, drawing: 0 });
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
    redrawCaretCell();
  });
  keys.addEventListener('blur', () => {
    if (running) post(WM.KILLFOCUS, 0);
    if (grid) draw(grid.cells, grid.columns, grid.rows, grid.caretColumn, grid.caretRow, grid.caret, grid.back);
  });

  // The mouse on the grid: the key field takes the focus, the program gets
  // the buttons and the wheel.
  canvas.addEventListener('mousedown', (e) => {
    e.preventDefault();
    keys.focus();
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

  const page = {
    open(columns, rows) {
      resize(columns, rows);
      return true;
    },
    draw,
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
      let done = false;
      const fire = () => {
        if (done) return;
        done = true;
        clearTimeout(timer);
        waker = null;
        wakeUp();
      };
      const timer = setTimeout(fire, ms);
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
      canvas.toBlob((png) => {
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
  };

  function say(text) {
    status.textContent = text;
  }

  // ---- The folder ----------------------------------------------------------

  // The browser's store gets what is in the folder now; a request while one
  // is under way makes one more afterwards. Resolves when it is written.
  function storeFolder() {
    const module = folderModule;
    if (!module) return storing;
    if (storeBusy) {
      storeAgain = true;
      return storing;
    }
    storeBusy = true;
    storing = new Promise((resolve) => {
      const once = () => module.FS.syncfs(false, (error) => {
        if (error) say('ブラウザに保存できませんでした: ' + error);
        if (storeAgain) {
          storeAgain = false;
          return once();
        }
        storeBusy = false;
        listFiles();
        resolve();
      });
      once();
    });
    return storing;
  }

  function listFiles() {
    const list = $('file-list');
    list.textContent = '';
    if (!folderModule) return;
    const FS = folderModule.FS;
    let names = [];
    try {
      names = FS.readdir(FOLDER).filter((n) => n[0] !== '.' && FS.isFile(FS.stat(FOLDER + '/' + n).mode));
    } catch (e) { return; }
    names.sort();
    for (const name of names) {
      const item = document.createElement('li');
      const size = FS.stat(FOLDER + '/' + name).size;
      item.textContent = name + ' (' + size + ' バイト)';
      const download = document.createElement('button');
      download.textContent = 'ダウンロード';
      download.dataset.file = name;
      download.addEventListener('click', () => downloadFile(name));
      const remove = document.createElement('button');
      remove.textContent = '削除';
      remove.addEventListener('click', () => {
        if (!window.confirm(name + ' を削除しますか?')) return;
        try { FS.unlink(FOLDER + '/' + name); } catch (e) { /* already gone */ }
        storeFolder();
      });
      item.append(download, remove);
      list.append(item);
    }
  }

  function downloadFile(name) {
    const bytes = folderModule.FS.readFile(FOLDER + '/' + name);
    const url = URL.createObjectURL(new Blob([bytes], { type: 'application/octet-stream' }));
    const link = document.createElement('a');
    link.href = url;
    link.download = name;
    document.body.append(link);
    link.click();
    link.remove();
    setTimeout(() => URL.revokeObjectURL(url), 10000);
  }

  // Files chosen or dropped become files of the folder, under their names.
  async function addFiles(files) {
    if (!folderModule) return;
    for (const file of files) {
      const name = file.name.replace(/[\\/]/g, '_');
      const bytes = new Uint8Array(await file.arrayBuffer());
      try {
        folderModule.FS.writeFile(FOLDER + '/' + name, bytes);
      } catch (e) {
        say(name + ' を置けませんでした。');
      }
    }
    await storeFolder();
    say(files.length + ' 個のファイルをフォルダに置きました。');
  }
  $('upload').addEventListener('change', (e) => {
    addFiles(Array.from(e.target.files));
    e.target.value = '';
  });
  document.addEventListener('dragover', (e) => {
    e.preventDefault();
    $('screen').classList.add('dropping');
  });
  document.addEventListener('dragleave', () => $('screen').classList.remove('dropping'));
  document.addEventListener('drop', (e) => {
    e.preventDefault();
    $('screen').classList.remove('dropping');
    if (e.dataTransfer && e.dataTransfer.files.length) addFiles(Array.from(e.dataTransfer.files));
  });

  // ---- Starting the programs ----------------------------------------------

  // Each program's code is compiled once for the page and instantiated for
  // every start: a second start costs no compilation, and the browser's
  // optimised code for what ran before is kept.
  const compiled = {};
  function compile(name) {
    if (!compiled[name]) {
      const file = name + '.wasm';
      compiled[name] = WebAssembly.compileStreaming(fetch(file))
        .catch(() => fetch(file).then((r) => r.arrayBuffer()).then((bytes) => WebAssembly.compile(bytes)));
      compiled[name].catch(() => delete compiled[name]);
    }
    return compiled[name];
  }

  // A module with the folder mounted from the browser's store and made the
  // current folder (and the home, where the registry store lives).
  function makeModule(name, run) {
    const config = {
      tesselPage: page,
      instantiateWasm(imports, receive) {
        compile(name)
          .then((code) => WebAssembly.instantiate(code, imports).then((instance) => receive(instance, code)))
          .catch((e) => say(name + ' を読み込めませんでした: ' + e));
        return {};
      },
      noInitialRun: !run,
      print: (text) => console.log(text),
      printErr: (text) => console.warn(text),
      preRun: [(module) => {
        module.FS.mkdir(FOLDER);
        module.FS.mount(module.IDBFS, {}, FOLDER);
        module.ENV.HOME = FOLDER;
        // Only the folder is kept. Elsewhere nothing can be created, so that
        // an answer saved outside it (../x.txt, /tmp/x.txt) is refused and
        // asked for again instead of vanishing with the page.
        for (const dir of ['/tmp', '/home/web_user', '/home', '/']) {
          try { module.FS.chmod(dir, 0o555); } catch (e) { /* not there */ }
        }
        module.addRunDependency('tessel-folder');
        module.FS.syncfs(true, (error) => {
          if (error) say('ブラウザのファイルを読めませんでした: ' + error);
          module.FS.chdir(FOLDER);
          module.removeRunDependency('tessel-folder');
        });
      }],
      // A fault ends the module: the run-time's report line says where.
      onAbort: () => {
        let line = '';
        try { line = config.UTF8ToString(config._TesselFatalLine()); } catch (e) { /* nothing to say */ }
        ended(-1, line || 'プログラムが異常終了しました。');
      },
    };
    return factories[name](config);
  }

  function setRunning(module) {
    running = module;
    for (const b of Object.values(buttons)) b.disabled = !!module;
    for (const id of ['copy-text', 'copy-image', 'close']) $(id).disabled = !module;
  }

  function ended(code, fatal) {
    if (!running) return;
    const module = running;
    setRunning(null);
    events = [];
    if (waker) waker();
    say(fatal ? fatal : code === 0 ? 'プログラムは終わりました。' : 'プログラムはエラーで終わりました (' + code + ')。');
    folderModule = module;
    storeFolder();
  }

  async function start(name) {
    if (running) return;
    events = [];
    say('');
    setRunning({ starting: true });
    // Keys typed while the folder is stored and the program loads wait for
    // it in the queue.
    if (document.activeElement === keys) post(WM.SETFOCUS, 0);
    else keys.focus();
    await storing;
    try {
      const module = await makeModule(name, true);
      if (running && running.starting) setRunning(module);
      folderModule = module;
      listFiles();
    } catch (e) {
      setRunning(null);
      say(name + ' を始められませんでした: ' + e);
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
    if (running && !running.starting) ended(-1, 'プログラムが異常終了しました: ' + (e.message || e.error));
  });

  // Closing the page closes the window: what the program saved is already in
  // the browser's store (it is written at every save and every key wait).
  window.addEventListener('beforeunload', (e) => {
    if (storeBusy) e.preventDefault();
  });

  // The font first (the grid is measured and drawn in it), then a module
  // without a program shows the folder, then the programs can start.
  document.fonts.load(FONT).then(() => {
    context.font = FONT;
    cellWidth = Math.max(1, Math.round(context.measureText('.').width)) || 8;
    if (cellWidth < 8) cellWidth = 8;
    resize(80, 24);
    context.fillStyle = '#ffffff';
    context.fillRect(0, 0, 80 * cellWidth, 24 * cellHeight);
    return makeModule('equation', false);
  }).then((module) => {
    folderModule = module;
    listFiles();
    for (const b of Object.values(buttons)) b.disabled = false;
    const wanted = new URLSearchParams(location.search).get('program');
    if (wanted === 'equation' || wanted === 'polymul') start(wanted);
  }).catch((e) => say('ページを用意できませんでした: ' + e));
}());
