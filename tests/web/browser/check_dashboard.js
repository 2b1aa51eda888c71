// Opens /dashboard in headless Chromium at a desktop and a phone width, waits for live values,
// checks what the page shows against /api/v1/status, asks the test to take the line away
// (prints "READY <width>") and waits for the page to show it without a reload, then asks for it
// back ("RESET <width>"). Saves a screenshot per width and prints the result as one JSON line.
//   node check_dashboard.js BASE_URL SCREENSHOT_DIR
const { runWithChromium } = require('./launch');

const WIDTHS = [1280, 360];
// Generous, so a loaded machine does not fail the test; the time it took is reported.
const LINE_CHANGE_PATIENCE_MS = 30000;

async function checkWidth(browser, base, folder, width) {
  const page = await browser.newPage({ viewport: { width, height: 900 }, colorScheme: 'dark' });
  const errors = [];
  page.on('pageerror', (error) => errors.push(String(error)));
  await page.goto(base + '/dashboard');
  // Live values, and both charts drawn from the history and the readings.
  await page.waitForFunction(() => document.getElementById('flow-pv').textContent !== '–', null, { timeout: 30000 });
  await page.waitForFunction(() => {
    const day = Chart.getChart('day-chart');
    const month = Chart.getChart('month-chart');
    return day && month && day.data.datasets.every((set) => set.data.length > 0)
      && month.data.datasets[0].data.some((value) => value !== null);
  }, null, { timeout: 30000 });
  const status = await page.evaluate(async () => (await fetch('/api/v1/status')).json());
  const seen = await page.evaluate(() => ({
    readings: document.getElementById('readings').innerText,
    flow: document.getElementById('flow').innerText,
    energy: document.getElementById('energy').innerText,
    link: document.getElementById('link').textContent,
    dayPoints: Chart.getChart('day-chart').data.datasets.map((set) => set.data.length),
    monthSolar: Chart.getChart('month-chart').data.datasets[0].data.filter((value) => value !== null),
    widest: Math.max(...[...document.querySelectorAll('body *')].map((e) => e.getBoundingClientRect().right)),
  }));
  await page.screenshot({ path: `${folder}/dashboard-${width}.png`, fullPage: true });

  console.log(`READY ${width}`);
  const started = Date.now();
  await page.waitForFunction(() => document.getElementById('flow-line').textContent === 'absent', null,
                             { timeout: LINE_CHANGE_PATIENCE_MS });
  seen.lineAbsentAfterMs = Date.now() - started;
  console.log(`RESET ${width}`);
  await page.waitForFunction(() => document.getElementById('flow-line').textContent !== 'absent', null,
                             { timeout: 30000 });
  seen.status = { ac_voltage_v: status.ac_voltage_v, battery_voltage_v: status.battery_voltage_v,
                  output_active_power_w: status.output_active_power_w };
  seen.errors = errors;
  await page.close();
  return seen;
}

runWithChromium(async (browser) => {
  const [base, folder] = process.argv.slice(2);
  const result = {};
  for (const width of WIDTHS)
    result[width] = await checkWidth(browser, base, folder, width);
  return result;
});
