// The dashboard: the state from /events as it comes, the day's and month's history from
// /api/v1/history. No framework; Chart.js draws the charts.
'use strict';

const $ = (id) => document.getElementById(id);
const number = (value, digits = 1) => (value === null || value === undefined ? '–' : Number(value).toFixed(digits));
const css = (name) => getComputedStyle(document.documentElement).getPropertyValue(name).trim();
const pad = (n) => String(n).padStart(2, '0');
const isoDay = (d) => `${d.getFullYear()}-${pad(d.getMonth() + 1)}-${pad(d.getDate())}`;

const READINGS = [
  ['AC voltage', 'ac_voltage_v', 'V', 1], ['AC frequency', 'ac_frequency_hz', 'Hz', 1],
  ['PV voltage', 'pv_input_voltage_v', 'V', 1], ['PV current', 'pv_input_current_a', 'A', 1],
  ['Battery voltage', 'battery_voltage_v', 'V', 2], ['SCC battery voltage', 'scc_battery_voltage_v', 'V', 2],
  ['Battery capacity', 'battery_capacity_percent', '%', 0], ['Charging current', 'charging_current_a', 'A', 0],
  ['Discharge current', 'discharge_current_a', 'A', 0], ['Output voltage', 'output_voltage_v', 'V', 1],
  ['Output frequency', 'output_frequency_hz', 'Hz', 1], ['Apparent power', 'output_apparent_power_va', 'VA', 0],
  ['Active power', 'output_active_power_w', 'W', 0], ['Load', 'load_percent', '%', 0],
  ['Heat sink', 'heat_sink_temperature_c', '°C', 0], ['Bus voltage', 'bus_voltage_v', 'V', 0],
];
const ENERGY = [
  ['Solar today', 'solar_energy_today_kwh'], ['Line today', 'line_energy_today_kwh'],
  ['Solar total', 'solar_energy_total_kwh'], ['Line total', 'line_energy_total_kwh'],
];

let lastReading = null;
let dayChart = null;
let monthChart = null;
let shownDay = null; // the day the charts show: the inverter's, as its readings are stamped

function list(element, rows) {
  element.replaceChildren(...rows.flatMap(([name, value]) => {
    const dt = document.createElement('dt');
    dt.textContent = name;
    const dd = document.createElement('dd');
    dd.textContent = value;
    return [dt, dd];
  }));
}

function showState(state) {
  const connected = state.link === 'connected' || state.link === 'test_mode';
  $('link').textContent = state.link.replace('_', ' ');
  $('link').className = connected ? '' : 'down';
  lastReading = state.reading_time ? new Date(state.reading_time) : null;
  showAge();

  const linePresent = state.ac_voltage_v > 100;
  $('flow-pv').textContent = `${number(state.solar_power_w, 0)} W`;
  $('flow-load').textContent = `${number(state.output_active_power_w, 0)} W`;
  $('flow-battery').textContent = `${number(state.battery_voltage_v, 2)} V`;
  const current = state.charging_current_a - state.discharge_current_a;
  $('flow-battery-detail').textContent =
    `${number(state.battery_capacity_percent, 0)} % · ${current >= 0 ? '+' : ''}${number(current, 0)} A`;
  $('flow-line').textContent = linePresent ? `${number(state.ac_voltage_v, 1)} V` : 'absent';
  $('flow-line-node').classList.toggle('absent', !linePresent);

  list($('readings'), READINGS.map(([name, key, unit, digits]) => [name, `${number(state[key], digits)} ${unit}`]));
  list($('energy'), ENERGY.map(([name, key]) => [name, `${number(state[key], 3)} kWh`]));

  $('warnings').replaceChildren(...(state.warnings || []).map((condition) => {
    const div = document.createElement('div');
    div.className = condition.severity;
    div.textContent = `${condition.severity === 'fault' ? 'Fault' : 'Warning'}: ${condition.text}`;
    return div;
  }));

  // The reading's own date and time (ISO 8601 with the core's offset): the core's day.
  const day = state.reading_time ? state.reading_time.slice(0, 10) : null;
  if (day && day !== shownDay) {
    showDay(day);
  } else if (day && dayChart) {
    const [h, m, sec] = state.reading_time.slice(11, 19).split(':').map(Number);
    const x = h * 3600 + m * 60 + sec;
    const add = (index, y) => dayChart.data.datasets[index].data.push({ x, y });
    add(0, state.solar_power_w);
    add(1, state.output_active_power_w);
    add(2, state.battery_voltage_v);
    dayChart.update('none');
  }
}

function showDay(day) {
  shownDay = day;
  Promise.all([loadDay(day), loadMonth(day.slice(0, 7))]).catch((error) => console.error(error));
}

function showAge() {
  if (!lastReading) {
    $('age').textContent = '–';
    return;
  }
  const seconds = Math.max(0, Math.round((Date.now() - lastReading) / 1000));
  $('age').textContent = seconds < 120 ? `${seconds} s ago` : `${Math.round(seconds / 60)} min ago`;
}

function showEvent(event) {
  const item = document.createElement('li');
  const time = new Date(event.time).toLocaleTimeString();
  item.textContent = `${time} ${event.event.replaceAll('_', ' ')}${event.condition ? ': ' + event.condition.replaceAll('_', ' ') : ''}`;
  const ul = document.querySelector('#events ul');
  ul.prepend(item);
  while (ul.children.length > 50) ul.lastChild.remove();
}

function points(series) {
  return (series || []).map(([x, y]) => ({ x, y }));
}

function chartColours() {
  Chart.defaults.color = css('--muted');
  Chart.defaults.borderColor = 'rgba(128, 128, 128, 0.25)';
}

async function loadDay(day) {
  $('day-name').textContent = day;
  const history = await (await fetch(`/api/v1/history?day=${day}`)).json();
  const s = history.series;
  const line = (label, data, colour, axis) => ({
    label, data: points(data), borderColor: colour, backgroundColor: colour, yAxisID: axis,
    pointRadius: 0, borderWidth: 1.5, tension: 0, parsing: false,
  });
  if (dayChart) dayChart.destroy();
  dayChart = new Chart($('day-chart'), {
    type: 'line',
    data: { datasets: [
      line('PV power (W)', s.solar_power_w, css('--solar'), 'power'),
      line('Load (W)', s.load_w, css('--load'), 'power'),
      line('Battery (V)', s.battery_voltage_v, css('--battery'), 'volts'),
    ] },
    options: {
      animation: false, maintainAspectRatio: false, interaction: { mode: 'nearest', intersect: false },
      scales: {
        x: { type: 'linear', min: 0, max: 86400,
             ticks: { stepSize: 3 * 3600, callback: (v) => `${pad(Math.floor(v / 3600))}:00` } },
        power: { position: 'left', beginAtZero: true, title: { display: true, text: 'W' } },
        volts: { position: 'right', grid: { drawOnChartArea: false }, title: { display: true, text: 'V' } },
      },
    },
  });
}

async function loadMonth(month) {
  $('month-name').textContent = month;
  const history = await (await fetch(`/api/v1/history?month=${month}`)).json();
  const s = history.series;
  const [year, monthNumber] = month.split('-').map(Number);
  const days = new Date(year, monthNumber, 0).getDate();
  const labels = Array.from({ length: days }, (_, i) => i + 1);
  const byDay = (series) => labels.map((day) => {
    const found = (series || []).find(([x]) => x === day);
    return found ? found[1] : null;
  });
  if (monthChart) monthChart.destroy();
  monthChart = new Chart($('month-chart'), {
    type: 'bar',
    data: { labels, datasets: [
      { label: 'Solar (kWh)', data: byDay(s.solar_energy_kwh), backgroundColor: css('--solar') },
      { label: 'Line (kWh)', data: byDay(s.line_energy_kwh), backgroundColor: css('--line') },
    ] },
    options: { animation: false, maintainAspectRatio: false, scales: { y: { beginAtZero: true } } },
  });
}

function listen() {
  const source = new EventSource('/events');
  source.addEventListener('state', (message) => showState(JSON.parse(message.data)));
  source.addEventListener('event', (message) => showEvent(JSON.parse(message.data)));
  source.onerror = () => { $('link').textContent = 'reconnecting…'; $('link').className = 'down'; };
}

chartColours();
listen();
// Until a reading says which day the inverter is in, the browser's.
setTimeout(() => { if (!shownDay) showDay(isoDay(new Date())); }, 1500);
setInterval(showAge, 1000);
