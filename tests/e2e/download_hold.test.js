'use strict';
// What a phone's Chrome does with the shared file over plain HTTP, seen in a browser
// without any download handling of the tests: it holds a type it does not count as
// likely safe until the user chooses to keep it, and the page says so beforehand; a
// likely-safe type completes and the page says nothing.
const { test, before, after } = require('node:test');
const assert = require('node:assert/strict');
const crypto = require('node:crypto');
const fs = require('node:fs');
const path = require('node:path');
const { launchPlainBrowser, waitFor } = require('./harness');
const { hostPath, startRun, endRun } = require('./linkhost');

const ONLINE = 'Connecté au PC · mise à jour automatique';
const HINT = 'Si votre navigateur indique que le fichier ne peut pas être téléchargé de manière sécurisée, ' +
  'choisissez Conserver : il vient directement de votre PC par le réseau local.';
const FILES = { 'archive.zip': crypto.randomBytes(70000), 'photo.jpg': crypto.randomBytes(70000) };

let work, host, link, browser, page, downloads;

// The file's name and the hint as the page shows them (the hint null when hidden).
function shownFile() {
  return page.evaluate(`(() => {
    const hint = document.getElementById('keepHint');
    return { status: document.getElementById('status').textContent, name: document.getElementById('name').textContent,
      hint: hint.hidden ? null : hint.textContent };
  })()`);
}

async function share(name) {
  host.send(`file ${hostPath(path.join(work, name))}`);
  return waitFor(async () => {
    const shown = await shownFile();
    return shown.status === ONLINE && shown.name === name && shown;
  }, { timeout: 5000, what: `${name} on the page` });
}

// The browser's own word on a download: its item in chrome://downloads once the item
// has left the in-progress state.
async function downloadItem(name) {
  const list = await browser.newPage('chrome://downloads');
  try {
    return await waitFor(() => list.evaluate(`(() => {
      const manager = document.querySelector('downloads-manager');
      const items = manager && manager.shadowRoot ? [...manager.shadowRoot.querySelectorAll('downloads-item')] : [];
      const item = items.find((candidate) => candidate.data.fileName === ${JSON.stringify(name)});
      if (!item || item.data.state === 0) return null;
      return { insecure: item.data.isInsecure, text: item.shadowRoot.textContent.replace(/\\s+/g, ' ') };
    })()`), { timeout: 10000, what: `${name} in chrome://downloads` });
  } finally {
    await list.close();
  }
}

before(async () => {
  assert.ok(process.env.PC_NETNS, 'run through in_namespaces.sh');
  ({ work, host, link, browser, page } = await startRun({
    prefix: 'tolvenaire-hold-',
    files: FILES,
    args: () => ['--address', process.env.PC_ADDRESS, '--text', 'x'],
    launch: (folder) => launchPlainBrowser((downloads = path.join(folder, 'downloads'))),
  }));
  await page.goto(link);
});

after(async () => {
  await endRun({ browser, host, work });
});

test('a .zip shows the hint, and Chromium holds it', async () => {
  assert.equal((await share('archive.zip')).hint, HINT);
  await page.click('#download');
  const held = await downloadItem('archive.zip');
  assert.equal(held.insecure, true, held.text);
  assert.equal(fs.existsSync(path.join(downloads, 'archive.zip')), false, 'kept before the user chose');
});

test('a .jpg shows no hint and completes', async () => {
  assert.equal((await share('photo.jpg')).hint, null);
  await page.click('#download');
  assert.equal((await downloadItem('photo.jpg')).insecure, false);
  const saved = path.join(downloads, 'photo.jpg');
  assert.ok(fs.readFileSync(saved).equals(FILES['photo.jpg']), 'the downloaded file differs');
});
