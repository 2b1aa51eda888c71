// Debian's Chromium, headless, as every browser test starts it.
const { chromium } = require('playwright-core');

module.exports.launchChromium = () => chromium.launch({
  executablePath: '/usr/bin/chromium',
  headless: true,
  args: ['--headless', '--no-sandbox', '--disable-gpu', '--disable-background-networking',
         '--disable-component-update', '--disable-sync', '--no-first-run'],
});
