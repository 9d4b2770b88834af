// The page's versions: the service worker that keeps every file of this
// version for offline use (sw.js) and looks for a newer one, and the word
// that a newer one is there. This tab goes on with its own version's files
// until it is reloaded.
window.TesselVersions = (function () {
  'use strict';

  const $ = (id) => document.getElementById(id);
  const script = document.currentScript;
  const version = (script && script.dataset.version) || '';

  // A newer version of the page is there.
  function showUpdate() {
    $('update').hidden = false;
  }
  $('reload').addEventListener('click', () => location.reload());
  let registration = null;
  function lookForUpdate() {
    if (registration) registration.update().catch(() => {});
  }
  if (navigator.serviceWorker) {
    navigator.serviceWorker.addEventListener('message', (event) => {
      const data = event.data || {};
      if (data.tessel === 'version?' && event.ports[0]) event.ports[0].postMessage({ version });
      if (data.tessel === 'version' && data.version && data.version !== version) showUpdate();
    });
    navigator.serviceWorker.startMessages();
  }
  // Once the page has what its first program needs: the worker that keeps
  // this version's files (fetching the rest meanwhile) and looks for newer.
  function keepForOffline() {
    if (!navigator.serviceWorker || !version) return;
    navigator.serviceWorker.register('sw.js').then((r) => {
      registration = r;
      if (navigator.serviceWorker.controller) navigator.serviceWorker.controller.postMessage({ tessel: 'tidy' });
      setInterval(lookForUpdate, 30 * 60 * 1000);
    }).catch(() => { /* no offline use here (a page not served over HTTPS) */ });
  }
  // Whether the server has a page of another version than this one.
  async function newerOnServer() {
    try {
      const page = await (await fetch('index.html', { cache: 'no-store' })).text();
      const served = /data-version="([0-9a-f]*)"/.exec(page);
      return !!(served && served[1] !== version);
    } catch (e) {
      return false;
    }
  }


  return { version, showUpdate, lookForUpdate, keepForOffline, newerOnServer };
}());
