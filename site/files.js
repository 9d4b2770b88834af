// The folder under the grid: its list (downloads, deletes, the files not
// kept and the entries no program can use), files chosen or dropped onto the
// page (a name no program could use refused, one the folder holds replaced
// only when the visitor says so, a large one read with its progress shown),
// and the words for what the browser's store could not do.
window.TesselFiles = (function () {
  'use strict';

  const $ = (id) => document.getElementById(id);
  const Folder = window.TesselFolder, Versions = window.TesselVersions;
  const say = (text) => { $('status').textContent = text; };

  // A line about the folder that stays above the grid (no store, a newer
  // page's store), beside the status.
  function notify(text) {
    const notice = $('notice');
    notice.hidden = !text;
    notice.textContent = text;
  }

  // What the folder's store could not do, said with the files' names.
  function storeFailed(e) {
    const names = e && e.names && e.names.length ? e.names.join('、') : '';
    if (Folder.without() === 'newer') {
      say((names ? names + ' は' : '') + 'ブラウザに保存できませんでした: 新しい版のページがフォルダの形を変えました' +
          ' (VersionError)。ダウンロードしてから、このページを再読み込みしてください。');
      return;
    }
    say((names ? names + ' を' : '') + 'ブラウザに保存できませんでした (' + ((e && e.message) || e) + ')。' +
        (names ? '一覧からダウンロードできます。次に保存できたときに保存されます。' : ''));
  }
  function storeFolder() {
    return Folder.store().catch(storeFailed);
  }

  // The line above the grid about where the folder lives.
  function noticeFolder() {
    const without = Folder.without();
    if (without === 'none') {
      notify('このブラウザではファイルを保存できません (プライベートウィンドウなど)。' +
             'フォルダはこのページを開いている間だけあり、閉じると中のファイルは消えます。残したいものはダウンロードしてください。');
    } else if (without === 'newer') {
      notify('新しい版のページがこのブラウザのフォルダの形を変えました。このページからは保存できません。' +
             '再読み込みしてください (保存できなかったファイルは、その前にダウンロードできます)。');
      Versions.showUpdate();
    }
  }

  // The list is made anew at each change (here or in another tab); a
  // button of it that had the focus gives it to its new self, or, its file
  // gone, to the next file's (else the upload field).
  function listFiles() {
    const list = $('file-list');
    const focused = list.contains(document.activeElement) ? document.activeElement : null;
    const kind = focused && (focused.dataset.file !== undefined ? 'file' : 'remove');
    const had = focused && (focused.dataset.file || focused.dataset.remove);
    list.textContent = '';
    const removeButton = (name, shown) => {
      const remove = document.createElement('button');
      remove.textContent = '削除';
      remove.dataset.remove = name;
      remove.setAttribute('aria-label', shown + ' を削除');
      remove.addEventListener('click', () => {
        if (!window.confirm(shown + ' を削除しますか?')) return;
        Folder.remove(name).catch((e) => say(shown + ' を削除できませんでした: ' + e));
      });
      return remove;
    };
    for (const name of Folder.names()) {
      const item = document.createElement('li');
      item.textContent = name + ' (' + Folder.size(name) + ' バイト)';
      if (!Folder.kept(name)) {
        const mark = document.createElement('span');
        mark.className = 'unkept';
        mark.textContent = ' ブラウザに保存されていません (ページを閉じると消えます)';
        item.append(mark);
      }
      const download = document.createElement('button');
      download.textContent = 'ダウンロード';
      download.dataset.file = name;
      download.setAttribute('aria-label', name + ' をダウンロード');
      download.addEventListener('click', () => downloadFile(name));
      item.append(download, removeButton(name, name));
      list.append(item);
    }
    // Entries of the store no program can use (from an older page or
    // another tool): shown, so that they can be deleted.
    for (const [path, why] of Folder.refused()) {
      const shown = path === '' ? '(名前のないファイル)' : JSON.stringify(path);
      const item = document.createElement('li');
      const mark = document.createElement('span');
      mark.className = 'refused';
      mark.textContent = shown + ': プログラムが使えない名前です (' + why + ')。';
      item.append(mark, removeButton(path, shown));
      list.append(item);
    }
    if (!had) return;
    const buttons = [...list.querySelectorAll(`button[data-${kind}]`)];
    const again = buttons.find((b) => b.dataset[kind] >= had);
    (again || $('upload')).focus();
  }
  Folder.onChange(listFiles);
  Folder.onFillFailure((path, e) => say(path + ' をブラウザのフォルダから読めませんでした: ' + e));

  function downloadFile(name) {
    const url = URL.createObjectURL(Folder.blob(name));
    const link = document.createElement('a');
    link.href = url;
    link.download = name;
    document.body.append(link);
    link.click();
    link.remove();
    setTimeout(() => URL.revokeObjectURL(url), 60000);
  }

  // A file chosen or dropped, read with its progress shown.
  async function readWithProgress(file, shown) {
    const box = $('upload-progress'), bar = $('upload-bar');
    box.hidden = false;
    $('upload-what').textContent = shown + ' を読み込んでいます';
    bar.value = 0;
    try {
      if (!file.stream || file.size < 1024 * 1024) return new Uint8Array(await file.arrayBuffer());
      const parts = [];
      let done = 0;
      const reader = file.stream().getReader();
      for (;;) {
        const { value, done: end } = await reader.read();
        if (end) break;
        parts.push(value);
        done += value.length;
        bar.value = file.size ? done / file.size : 1;
        $('upload-what').textContent = shown + ' を読み込んでいます (' + Math.floor(100 * bar.value) + '%)';
      }
      $('upload-what').textContent = shown + ' をフォルダに置いています';
      return new Blob(parts);
    } finally {
      if (!file.stream || file.size < 1024 * 1024) box.hidden = true;
    }
  }

  // Files chosen or dropped become files of the folder, under their names.
  // A name no program could use is refused, and one that is there already
  // is replaced only when the visitor says so.
  async function addFiles(files) {
    let added = 0;
    const said = [];
    for (const file of files) {
      const name = String(file.name).replace(/\\/g, '_').replace(/^\.+(?=[^.])/, '_');
      const why = Folder.unusable(name) || (name.includes('/') ? '名前に / があります' : '');
      if (why) {
        said.push((file.name === '' ? '名前のないファイル' : '「' + file.name + '」') + ' は置けません: ' + why + '。');
        continue;
      }
      if (Folder.names().includes(name) &&
          !window.confirm(name + ' はもうフォルダにあります。置き換えますか? (今の ' + name + ' は消えます)')) {
        said.push(name + ' はそのままです。');
        continue;
      }
      try {
        await Folder.add(name, await readWithProgress(file, name));
        added += 1;
      } catch (e) {
        if (e instanceof Folder.StoreError) storeFailed(e);
        else said.push(name + ' を置けませんでした: ' + e);
      } finally {
        $('upload-progress').hidden = true;
      }
    }
    if (added) said.unshift(added + ' 個のファイルをフォルダに置きました。');
    if (said.length) say(said.join(' '));
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

  Folder.onChange(noticeFolder);

  return { storeFailed, storeFolder, noticeFolder };
}());
