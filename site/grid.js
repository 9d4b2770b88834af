// The program's 80 x 24 grid on the page: drawn on a canvas in cells of 8 x 16
// CSS pixels times a scale (a whole number where the window allows, so that
// the cells stay crisp; or the scale the visitor chose), the caret, and the
// screen as text for screen readers. The cells follow the browser's zoom as
// the rest of the page does, the grid scrolling where it no longer fits; on a
// touch screen, which has no zoom of that kind, it fits the screen.
window.TesselGrid = (function () {
  'use strict';

  const CELL_WIDTH = 8, CELL_HEIGHT = 16;
  // The screen font, and until it has arrived a fixed-pitch Japanese font of
  // the system (the cells keep their size whichever draws them).
  const FONT = '16px "Tessel Gothic", "IPAGothic", "Noto Sans Mono CJK JP", "VL Gothic", "MS Gothic", ' +
               '"Osaka-Mono", monospace';

  const canvas = document.getElementById('grid');
  const context = canvas.getContext('2d');
  const screenBox = document.getElementById('screen');
  const keys = document.getElementById('keys');
  const screenText = document.getElementById('screen-text');
  const screenNews = document.getElementById('screen-news');

  let grid = null;  // what was drawn last
  let caretOn = true;
  let scale = 1;
  let chosenZoom = 'auto';
  let mirrored = [];  // the rows the text mirror shows
  let question = null;  // the row the caret stood in at the last wait, and its text before the caret
  const timing = { draws: 0, drawing: 0 };
  const touch = window.matchMedia('(pointer: coarse)');
  const still = window.matchMedia('(prefers-reduced-motion: reduce)');

  function rgb(value) {
    return '#' + (value & 0xFFFFFF).toString(16).padStart(6, '0');
  }

  // The scale for the window: the largest whole number at which the grid
  // fits, at least 1 (a smaller room scrolls, as the rest of the page does);
  // on a touch screen less than 1 where even that does not fit; the
  // visitor's choice instead when there is one (the grid then scrolls).
  function fittingScale(columns, rows) {
    const width = columns * CELL_WIDTH, height = rows * CELL_HEIGHT;
    const room = Math.max(160, document.documentElement.clientWidth - 40);
    const tall = Math.max(200, window.innerHeight - 160);
    if (chosenZoom !== 'auto') return Number(chosenZoom);
    const whole = Math.floor(Math.min(room / width, tall / height));
    if (whole >= 1 || !touch.matches) return Math.max(1, whole);
    return Math.min(1, room / width);
  }

  function resize(columns, rows) {
    scale = fittingScale(columns, rows);
    const ratio = (window.devicePixelRatio || 1) * scale;
    canvas.width = Math.round(columns * CELL_WIDTH * ratio);
    canvas.height = Math.round(rows * CELL_HEIGHT * ratio);
    canvas.style.width = columns * CELL_WIDTH * scale + 'px';
    canvas.style.height = rows * CELL_HEIGHT * scale + 'px';
    context.setTransform(ratio, 0, 0, ratio, 0, 0);
    screenBox.classList.toggle('zoomed', chosenZoom !== 'auto');
    // At least 16 px: a browser zooms the page onto a smaller field when it
    // takes the focus.
    keys.style.fontSize = keys.style.lineHeight = Math.max(16, 16 * scale) + 'px';
    keys.style.height = 16 * scale + 'px';
  }

  function drawCaret() {
    if (!grid || !grid.caret || !caretOn || document.activeElement !== keys) return;
    context.fillStyle = '#ffffff';  // the caret of every display: bright white
    context.fillRect(grid.caretColumn * CELL_WIDTH, grid.caretRow * CELL_HEIGHT, 2, CELL_HEIGHT);
  }

  function drawRow(cells, columns, row) {
    const y = row * CELL_HEIGHT;
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
        context.fillRect(column * CELL_WIDTH, y, (end - column) * CELL_WIDTH, CELL_HEIGHT);
      }
      if (!plain) {
        context.fillStyle = rgb(text);
        context.fillText(run, column * CELL_WIDTH, y + CELL_HEIGHT / 2, (end - column) * CELL_WIDTH);
      }
      column = end;
    }
  }

  function paint() {
    const { cells, columns, rows, back } = grid;
    context.font = FONT;
    context.textBaseline = 'middle';
    context.fillStyle = rgb(back);
    context.fillRect(0, 0, columns * CELL_WIDTH, rows * CELL_HEIGHT);
    for (let row = 0; row < rows; ++row) drawRow(cells, columns, row);
    caretOn = true;
    drawCaret();
    placeKeys();
  }

  function draw(cells, columns, rows, caretColumn, caretRow, caret, back) {
    const began = performance.now();
    if (!grid || grid.columns !== columns || grid.rows !== rows) resize(columns, rows);
    grid = { cells: Uint32Array.from(cells), columns, rows, caretColumn, caretRow, caret, back };
    paint();
    timing.draws += 1;
    timing.drawing += performance.now() - began;
  }

  // An empty white grid, before any program has drawn.
  function blank() {
    grid = { cells: new Uint32Array(80 * 24 * 3), columns: 80, rows: 24, caretColumn: 0, caretRow: 0, caret: false,
             back: 0xFFFFFF };
    resize(80, 24);
    paint();
  }

  // The caret's blink redraws its row.
  function redrawCaretRow() {
    if (!grid) return;
    const { cells, columns, rows, caretRow } = grid;
    if (caretRow < 0 || caretRow >= rows) return;
    context.font = FONT;
    context.textBaseline = 'middle';
    context.fillStyle = rgb(grid.back);
    context.fillRect(0, caretRow * CELL_HEIGHT, columns * CELL_WIDTH, CELL_HEIGHT);
    drawRow(cells, columns, caretRow);
    drawCaret();
  }
  // It does not blink for a visitor who asks for less motion.
  setInterval(() => {
    if (still.matches && caretOn) return;
    caretOn = still.matches || !caretOn;
    redrawCaretRow();
  }, 530);

  // The key field sits on the caret, so that the input method shows its
  // composition there.
  function placeKeys() {
    if (!grid) return;
    const shown = canvas.clientWidth / (grid.columns * CELL_WIDTH) || scale;
    keys.style.left = grid.caretColumn * CELL_WIDTH * shown + 'px';
    keys.style.top = grid.caretRow * CELL_HEIGHT * shown + 'px';
  }

  function refit() {
    if (!grid) return;
    resize(grid.columns, grid.rows);
    paint();
  }
  window.addEventListener('resize', refit);
  touch.addEventListener('change', refit);
  document.getElementById('zoom').addEventListener('change', (e) => {
    chosenZoom = e.target.value;
    refit();
  });

  // The rows as text, one line a row, without trailing blanks.
  function rowsOf(g) {
    if (!g) return [];
    const { cells, columns, rows } = g;
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
    return lines;
  }

  // The text of a row up to a column.
  function rowPrefix(g, row, upTo) {
    let text = '';
    for (let column = 0; column < Math.min(upTo, g.columns); ++column) {
      const code = g.cells[(row * g.columns + column) * 3] & 0x7FFFFFFF;
      if (code !== 0) text += String.fromCodePoint(code < 32 ? 32 : code);
    }
    return text;
  }

  // The text mirror, brought up to date when the program waits for the user
  // (not at every mark of a long run): the rows, and in the live log each
  // line once it is complete: the rows that are new since the last wait
  // (scrolled in, or changed in place) above the caret's, and the caret's
  // own when it shows something new (a question). What follows a question
  // in its row is the echo of what the user types, which the key field
  // reads: the log does not repeat it, nor the question once its line is
  // complete.
  function mirror() {
    const now = rowsOf(grid);
    if (now.join('\n') === mirrored.join('\n')) return;
    let shift = 0, best = -1;
    for (let k = 0; k < now.length; ++k) {
      let same = 0;
      for (let i = 0; i + k < mirrored.length && i < now.length; ++i) if (mirrored[i + k] === now[i]) ++same;
      if (same > best) {
        best = same;
        shift = k;
      }
    }
    const caretRow = grid && grid.caret ? grid.caretRow : now.length;
    const typedThen = question ? question.row - shift : -1;  // where the user typed, as the rows stand now
    const fresh = [];
    now.forEach((line, i) => {
      if (line === '' || mirrored[i + shift] === line || i > caretRow) return;
      if (i === typedThen && line.startsWith(question.text)) return;
      fresh.push(line);
    });
    if (caretRow < now.length) {
      const asked = rowPrefix(grid, caretRow, grid.caretColumn).replace(/\s+$/, '');
      if (!(caretRow === typedThen && now[caretRow].startsWith(question.text))) question = { row: caretRow, text: asked };
      else question.row = caretRow;
    } else {
      question = null;
    }
    mirrored = now;
    screenText.textContent = now.join('\n').replace(/\n+$/, '');
    for (const line of fresh) {
      const entry = document.createElement('p');
      entry.textContent = line;
      screenNews.append(entry);
    }
    while (screenNews.childNodes.length > 2000) screenNews.firstChild.remove();
  }

  // A program starts: the log begins anew.
  function newLog() {
    screenNews.textContent = '';
    mirrored = [];
    question = null;
  }

  return {
    draw,
    blank,
    mirror,
    newLog,
    redraw: () => grid && paint(),
    text: () => rowsOf(grid).join('\n'),
    toBlob: (done) => canvas.toBlob(done),
    timing,
    font: FONT,
  };
}());
