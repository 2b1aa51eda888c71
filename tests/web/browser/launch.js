// Debian's Chromium, headless, as every browser test starts it.
const { chromium } = require('playwright-core');

module.exports.launchChromium = () => chromium.launch({
  executablePath: '/usr/bin/chromium',
  headless: true,
  args: ['--headless', '--no-sandbox', '--disable-gpu', '--disable-background-networking',
         '--disable-component-update', '--disable-sync', '--no-first-run'],
});

// Runs `work(browser)` in a fresh Chromium, prints its result as one JSON line and exits 1 on
// any error, as every browser test's script does.
module.exports.runWithChromium = (work) => {
  (async () => {
    const browser = await module.exports.launchChromium();
    let result;
    try {
      result = await work(browser);
    } finally {
      await browser.close();
    }
    console.log(JSON.stringify(result));
  })().catch((error) => {
    console.error(error);
    process.exit(1);
  });
};
