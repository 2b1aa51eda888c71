// Opens the core's pages in headless Chromium as a person would, fills in the Timer form and
// prints what the browser saw as one JSON line.
//   node check_pages.js BASE_URL PASSWORD
const { runWithChromium } = require('./launch');

runWithChromium(async (browser) => {
  const [base, password] = process.argv.slice(2);
  const result = {};
  const page = await browser.newPage();
  await page.goto(base + '/');
  result.title = await page.title();
  result.mainText = (await page.innerText('body')).replace(/\s+/g, ' ');

  await page.goto(base + '/Timer');
  await page.check('input[name="C1TA"]');
  await page.fill('input[name="TAON"]', '07.30.00');
  await page.fill('input[name="TAOFF"]', '19.45.00');
  await page.fill('input[name="T2"]', password);
  await Promise.all([page.waitForNavigation(), page.click('input[name="B1"]')]);
  result.afterPost = (await page.innerText('body')).replace(/\s+/g, ' ');
  return result;
});
