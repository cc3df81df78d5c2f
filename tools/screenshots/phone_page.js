'use strict';
// The phone page for the guide: Chromium in the phone profile of the browser tests
// opens the private link, waits until the page shows the shared text and file and
// says it is connected, and saves what the phone's screen shows.
//   node phone_page.js <link> <picture.png> <language fr|en> <text> <file name>
const assert = require('node:assert/strict');
const { launchBrowser, watchPage, waitFor } = require('../../tests/e2e/harness');

const ONLINE = { fr: 'Connecté au PC · mise à jour automatique', en: 'Connected to your PC · automatic updates' };

async function main() {
  const [link, picture, language, text, fileName] = process.argv.slice(2);
  assert.ok(ONLINE[language], `language is fr or en, not '${language}'`);
  const browser = await launchBrowser();
  try {
    const page = await browser.newPage();
    const watch = watchPage(page);
    await page.goto(link);
    const shown = () => page.evaluate(() => ({
      language: document.documentElement.lang,
      text: document.getElementById('text').value,
      name: document.getElementById('name').textContent,
      status: document.getElementById('status').textContent,
    }));
    await waitFor(async () => {
      const now = await shown();
      return now.language === language && now.text === text && now.name === fileName &&
        now.status === ONLINE[language];
    }, { timeout: 20000, interval: 200, what: 'the page to show the text and the file' }).catch(async (error) => {
      throw new Error(`${error.message}; the page shows ${JSON.stringify(await shown())}`);
    });
    // The caret and the field's focus ring are not part of what a phone shows at rest.
    await page.evaluate(() => document.activeElement && document.activeElement.blur());
    await page.screenshot({ path: picture, scale: 'css', fullPage: true, caret: 'hide', animations: 'disabled' });
    assert.deepEqual(watch.problems, [], 'the page ran without errors');
  } finally {
    await browser.close();
    browser.cleanupProfile();
  }
}

main().catch((error) => {
  console.error(`phone_page.js: ${error.message}`);
  process.exit(1);
});
