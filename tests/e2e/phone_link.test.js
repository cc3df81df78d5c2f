'use strict';
// A phone in its own network namespace opens the private link served by the
// link host from the pc namespace, over plain HTTP as on a real LAN.
const { test, before, after } = require('node:test');
const assert = require('node:assert/strict');
const crypto = require('node:crypto');
const fs = require('node:fs');
const http = require('node:http');
const path = require('node:path');
const { watchPage, violationsOfAxe, seriousOrWorse, waitFor, artifactsDir } = require('./harness');
const { startHost, hostPath, startRun, endRun } = require('./linkhost');

// The ports the link server may take: 8765 to 8785.
const LINK_PORT = '87(?:6[5-9]|7[0-9]|8[0-5])';
// One poll period (2 s) plus the time of the request itself.
const ONE_POLL_MS = 3500;
const TEXT = 'Bonjour depuis le PC\nDeuxième ligne : été ☀ « citation »\n';
const FILE_NAME = 'relevé été.bin';
const FRENCH = {
  heading: 'Depuis votre PC.',
  online: 'Connecté au PC · mise à jour automatique',
  offline: 'PC indisponible. Vérifiez le réseau et le partage Windows.',
};
const ENGLISH = { heading: 'From your PC.', online: 'Connected to your PC · automatic updates' };

let work, fileBytes, host, link, browser, page;
let watch;
let stateAnswers = 0;

async function text(selector) {
  return page.locator(selector).textContent();
}

async function waitForText(selector, expected, timeout = ONE_POLL_MS) {
  await waitFor(async () => (await text(selector)) === expected, { timeout, what: `${selector} = "${expected}"` });
}

async function downloadOf(selector) {
  const [download] = await Promise.all([page.waitForEvent('download', { timeout: 15000 }), page.click(selector)]);
  const saved = await download.path();
  return { name: download.suggestedFilename(), bytes: fs.readFileSync(saved) };
}

before(async () => {
  assert.ok(process.env.PC_NETNS, 'run through in_namespaces.sh');
  fileBytes = crypto.randomBytes(300000);  // several 64 KiB pieces and a short last one
  ({ work, host, link, browser, page } = await startRun({
    prefix: 'tolvenaire-phone-',
    files: { [FILE_NAME]: fileBytes, 'text.txt': TEXT },
    args: (folder) => ['--address', process.env.PC_ADDRESS, '--text-file', hostPath(path.join(folder, 'text.txt')),
      '--file', hostPath(path.join(folder, FILE_NAME))],
  }));
  watch = watchPage(page);
  page.on('response', (response) => {
    if (response.url().endsWith('/state') && response.status() === 200) stateAnswers += 1;
  });
});

after(async () => {
  await endRun({ browser, host, work });
});

test('the link is a private LAN link and the page shows the shared text and file', async () => {
  assert.match(link, new RegExp(`^http://${process.env.PC_ADDRESS.replace(/\./g, '\\.')}:${LINK_PORT}/[0-9a-f]{32}/$`));
  await page.goto(link);
  await waitForText('#status', FRENCH.online, 5000);
  assert.equal(await page.evaluate(() => window.isSecureContext), false, 'a phone on the LAN has no secure context');
  assert.equal(await page.locator('#text').inputValue(), TEXT);
  assert.equal(await text('#heading'), FRENCH.heading);
  assert.equal(await text('#name'), FILE_NAME);
  assert.equal((await text('#size')).replace(/[\u202f\u00a0]/g, ' '), '293 Ko');
  assert.match(await page.locator('#dot').getAttribute('class'), /\blive\b/);
  await page.screenshot({ path: path.join(artifactsDir(), 'phone-fr.png'), fullPage: true });
  const violations = await violationsOfAxe(page);
  fs.writeFileSync(path.join(artifactsDir(), 'axe-fr.json'), JSON.stringify(violations, null, 2));
  assert.deepEqual(seriousOrWorse(violations), []);
  assert.deepEqual(watch.problems, []);
});

test('"Copier le texte" copies through the selection on plain HTTP', async () => {
  await page.evaluate(() => {
    window.copiedSelection = null;
    document.addEventListener('copy', () => {
      const area = document.getElementById('text');
      window.copiedSelection = area.value.slice(area.selectionStart, area.selectionEnd);
    }, { once: true });
  });
  assert.equal(await page.evaluate(() => typeof navigator.clipboard), 'undefined');
  await page.click('#copy');
  await waitForText('#feedback', 'Texte copié.', 2000);
  assert.equal(await page.evaluate(() => window.copiedSelection), TEXT);

  // Read the clipboard back from a secure page (loopback, inside the phone's
  // own namespace) of the same browser.
  const blank = http.createServer((request, response) => {
    response.writeHead(200, { 'Content-Type': 'text/html', Connection: 'close' });
    response.end('<!doctype html><title>clipboard</title>');
  });
  await new Promise((resolve) => blank.listen(0, '127.0.0.1', resolve));
  const origin = `http://127.0.0.1:${blank.address().port}`;
  try {
    await browser.grantPermissions(['clipboard-read', 'clipboard-write'], { origin });
    const reader = await browser.newPage();
    await reader.goto(`${origin}/`);
    assert.equal(await reader.evaluate(() => navigator.clipboard.readText()), TEXT);
    await reader.close();
  } finally {
    blank.closeAllConnections();
    await new Promise((resolve) => blank.close(resolve));
  }
});

test('"Enregistrer .txt" saves the byte order mark and the text', async () => {
  const saved = await downloadOf('#saveText');
  assert.equal(saved.name, 'texte.txt');
  assert.deepEqual(saved.bytes, Buffer.concat([Buffer.from([0xef, 0xbb, 0xbf]), Buffer.from(TEXT, 'utf8')]));
});

test('the file downloads byte for byte under its own name', async () => {
  const saved = await downloadOf('#download');
  assert.equal(saved.name, FILE_NAME);
  assert.equal(saved.bytes.length, fileBytes.length);
  assert.ok(saved.bytes.equals(fileBytes), 'downloaded bytes differ');
});

test('new content on the PC appears within one poll', async () => {
  host.send('text Nouveau contenu\\nsur deux lignes');
  await waitFor(async () => (await page.locator('#text').inputValue()) === 'Nouveau contenu\nsur deux lignes',
    { timeout: ONE_POLL_MS, what: 'new text' });
  host.send('nofile');
  await waitFor(() => page.locator('#noFile').isVisible(), { timeout: ONE_POLL_MS, what: 'file withdrawn' });
  assert.equal(await page.locator('#fileContent').isVisible(), false);
  host.send(`file ${hostPath(path.join(work, FILE_NAME))}`);
  await waitFor(() => page.locator('#fileContent').isVisible(), { timeout: ONE_POLL_MS, what: 'file shared again' });
});

test('an English PC switches the page to English, unless the visitor chose a language', async () => {
  host.send('english');
  await waitForText('#heading', ENGLISH.heading);
  await waitForText('#status', ENGLISH.online);
  assert.equal(await page.locator('html').getAttribute('lang'), 'en');
  assert.equal(await page.locator('#language').inputValue(), 'en');
  assert.equal(await text('#copy'), 'Copy text');
  assert.equal(await text('#keepHint'), 'If your browser says the file can’t be downloaded securely, choose Keep: ' +
    'it comes straight from your PC over the local network.');
  assert.equal(await text('#footer'), 'Keep Tolvenaire open on your PC. HTTP is not encrypted: use a trusted network. ' +
    'Anyone with the link who can reach the PC can read the shared content.');
  await page.screenshot({ path: path.join(artifactsDir(), 'phone-en.png'), fullPage: true });
  const saved = await downloadOf('#saveText');
  assert.equal(saved.name, 'text.txt');
  assert.deepEqual(saved.bytes, Buffer.from('\ufeffNouveau contenu\nsur deux lignes', 'utf8'));
  const violations = await violationsOfAxe(page);
  fs.writeFileSync(path.join(artifactsDir(), 'axe-en.json'), JSON.stringify(violations, null, 2));
  assert.deepEqual(seriousOrWorse(violations), []);

  host.send('french');
  await waitForText('#heading', FRENCH.heading);

  // The visitor picks English; French states from the PC no longer override it.
  await page.selectOption('#language', 'en');
  assert.equal(await text('#heading'), ENGLISH.heading);
  for (const command of ['english', 'french']) {
    const seen = stateAnswers;
    host.send(command);
    await waitFor(async () => stateAnswers > seen, { timeout: ONE_POLL_MS, what: `a fresh state after ${command}` });
  }
  await page.waitForTimeout(100);  // the answer's handler runs after the response event
  assert.equal(await text('#heading'), ENGLISH.heading);
  assert.equal(await text('#status'), ENGLISH.online);
  await page.selectOption('#language', 'fr');
  assert.equal(await text('#heading'), FRENCH.heading);
});

test('a stopped server shows the offline text and keeps what was shown', async () => {
  watch.expectFailures(`${link}state`);  // the old link only
  host.send('stop');
  await waitForText('#status', FRENCH.offline, ONE_POLL_MS + 1000);
  assert.doesNotMatch(await page.locator('#dot').getAttribute('class'), /\blive\b/);
  assert.equal(await page.locator('#text').inputValue(), 'Nouveau contenu\nsur deux lignes');
  await page.screenshot({ path: path.join(artifactsDir(), 'phone-fr-offline.png'), fullPage: true });

  // A restart draws a new token: the old page stays offline, the new link works.
  host.send('start');
  const newLink = await host.line(1, 20000);
  assert.notEqual(newLink, link);
  const seen = stateAnswers;
  await page.waitForTimeout(ONE_POLL_MS);
  assert.equal(stateAnswers, seen);
  assert.equal(await text('#status'), FRENCH.offline);
  await page.goto(newLink);
  await waitForText('#status', FRENCH.online, 5000);
  assert.equal(await page.locator('#text').inputValue(), 'Nouveau contenu\nsur deux lignes');
  assert.deepEqual(watch.problems, []);
});

test('without an address the host serves on the private LAN address', async () => {
  // The pc side also has a public address (listed first) and a link-local one.
  const chooser = startHost(['--text', 'x']);
  try {
    const chosen = await chooser.line(0);
    assert.match(chosen, new RegExp(`^http://192\\.168\\.91\\.2:${LINK_PORT}/[0-9a-f]{32}/$`));
  } finally {
    const { code } = await chooser.finish();
    assert.equal(code, 0, `stderr: ${chooser.stderr}`);
  }
});
