// The dashboard page: polls /api/instances, lists failures, finds clips and sends the actions.
// Every text from the program is put into the page with textContent, never as markup.
'use strict';

const tokenKey = 'clipwatchToken';
const countFields = ['totalDirectories', 'directoryErrors', 'directoriesComplete', 'totalClips',
                     'clipsCompleted', 'erroredClips', 'processesWaiting', 'processes',
                     'processesMD5'];
const actions = [['start', 'Start'], ['pause', 'Pause'], ['stop', 'Stop'], ['rescan', 'Rescan'],
                 ['clearerrors', 'Clear Errors']];
const stateNames = {0: 'waiting', 1: 'done', 2: 'in progress', 3: 'waiting for job', 4: 'error',
                    5: 'network error', 6: 'found', 7: 'lost job'};

function $(id) { return document.getElementById(id); }

function element(tag, text, className) {
  const node = document.createElement(tag);
  if (text !== undefined) node.textContent = String(text);
  if (className) node.className = className;
  return node;
}

function say(text) { $('message').textContent = text; }

function headers() {
  const token = sessionStorage.getItem(tokenKey);
  return token ? {'Authorization': 'Bearer ' + token} : {};
}

async function getJson(path) {
  const response = await fetch(path, {headers: headers()});
  if (response.status === 401) throw new Error('enter the dashboard token');
  if (!response.ok) throw new Error(path + ': ' + response.status);
  return response.json();
}

async function post(path) {
  if (!sessionStorage.getItem(tokenKey)) {
    say('Enter the dashboard token (logged at the program\'s start) to act.');
    $('token').focus();
    return;
  }
  const response = await fetch(path, {method: 'POST', headers: headers()});
  if (response.status === 401) {
    sessionStorage.removeItem(tokenKey);
    say('The token was refused.');
    return;
  }
  const answer = await response.json();
  say(response.ok ? '' : (answer.error || answer.reply || response.status));
  pollInstances(false);
  showFailures();
}

// Instances: one row per instance, kept and updated in place.
const rows = new Map();

function instanceRow(number) {
  if (rows.has(number)) return rows.get(number);
  const row = element('tr');
  row.dataset.instance = number;
  const cells = {};
  const add = (field, className) => {
    cells[field] = row.appendChild(element('td', '', className));
    cells[field].dataset.field = field;
  };
  ['number', 'scanFolder', 'database', 'stateName', 'operation'].forEach(
      f => add(f, f === 'scanFolder' || f === 'database' ? 'path' : ''));
  countFields.forEach(f => add(f, 'number'));
  add('progress');
  cells.bar = cells.progress.appendChild(element('progress'));
  // Rate and time left as the program reports them; never estimated here.
  add('rate', 'number');
  add('secondsLeft', 'number');
  const buttons = row.appendChild(element('td', undefined, 'actions'));
  for (const [word, label] of actions) {
    const button = buttons.appendChild(element('button', label));
    button.dataset.action = word;
    button.addEventListener('click', () => post('/api/instances/' + number + '/' + word));
  }
  row.cells_ = cells;
  rows.set(number, row);
  $('instances').tBodies[0].appendChild(row);
  const option = element('option', number);
  option.value = number;
  $('failure-instance').appendChild(option);
  return row;
}

// "1:05:00", "12:30" or "0:40" for a number of seconds.
function timeLeft(seconds) {
  const h = Math.floor(seconds / 3600), m = Math.floor(seconds / 60) % 60, s = seconds % 60;
  const two = n => String(n).padStart(2, '0');
  return h > 0 ? h + ':' + two(m) + ':' + two(s) : m + ':' + two(s);
}

function showInstance(instance) {
  const cells = instanceRow(instance.number).cells_;
  for (const f of ['number', 'scanFolder', 'database', 'stateName', 'operation'])
    cells[f].textContent = instance[f];
  for (const f of countFields) cells[f].textContent = instance.counts[f];
  const c = instance.counts;
  cells.bar.max = Math.max(1, c.totalClips);
  cells.bar.value = c.clipsCompleted + c.erroredClips;
  cells.progress.title = (c.clipsCompleted + c.erroredClips) + ' of ' + c.totalClips;
  const p = instance.progress;
  cells.rate.textContent = 'rate' in p ? p.rate.toFixed(1) + '/s' : '';
  cells.secondsLeft.textContent = 'secondsLeft' in p ? timeLeft(p.secondsLeft) : '';
}

let pollTimer = null;

async function pollInstances(again = true) {
  try {
    const instances = await getJson('/api/instances');
    const seen = new Set(instances.map(i => i.number));
    for (const [number, row] of rows)
      if (!seen.has(number)) { row.remove(); rows.delete(number); }
    instances.forEach(showInstance);
  } catch (error) {
    say(error.message);
  }
  if (again) {
    clearTimeout(pollTimer);
    pollTimer = setTimeout(pollInstances, 1000);
  }
}

// Failures.
async function showFailures() {
  const query = new URLSearchParams();
  if ($('failure-instance').value) query.set('instance', $('failure-instance').value);
  if ($('failure-element').value) query.set('element', $('failure-element').value);
  let failures;
  try {
    failures = await getJson('/api/failures?' + query);
  } catch (error) {
    say(error.message);
    return;
  }
  const body = $('failures').tBodies[0];
  body.replaceChildren();
  for (const f of failures) {
    const row = body.appendChild(element('tr'));
    row.appendChild(element('td', f.instance));
    row.appendChild(element('td', f.name));
    row.appendChild(element('td', f.path, 'path'));
    row.appendChild(element('td', f.element));
    row.appendChild(element('td', f.error, 'failed'));
    row.appendChild(element('td', 'time' in f ? new Date(f.time * 1000).toLocaleString() : ''));
    const retry = row.appendChild(element('td')).appendChild(element('button', 'Retry'));
    retry.addEventListener('click', () => post('/api/instances/' + f.instance + '/clips/' + f.id +
                                               '/retry?element=' + encodeURIComponent(f.element)));
  }
}

async function loadElements() {
  try {
    for (const word of await getJson('/api/elements')) {
      const option = element('option', word);
      option.value = word;
      $('failure-element').appendChild(option);
    }
  } catch (error) {
    say(error.message);
  }
}

// Clip search.
async function findClips(text) {
  let clips;
  try {
    clips = await getJson('/api/clip?q=' + encodeURIComponent(text));
  } catch (error) {
    say(error.message);
    return;
  }
  const list = $('clips');
  list.replaceChildren();
  if (clips.length === 0) list.appendChild(element('p', 'No clip found.'));
  for (const clip of clips) {
    const box = list.appendChild(element('div', undefined, 'clip'));
    box.appendChild(element('h3', '#' + clip.instance + ' ' + clip.name));
    box.appendChild(element('div', clip.path, 'path'));
    const table = box.appendChild(element('table'));
    const head = table.appendChild(element('tr'));
    ['Element', 'State', 'Text', 'Path', 'Error'].forEach(h => head.appendChild(element('th', h)));
    for (const e of clip.elements) {
      const row = table.appendChild(element('tr', undefined, e.failed ? 'failed' : ''));
      row.appendChild(element('td', e.element));
      row.appendChild(element('td', stateNames[e.state] || e.state));
      row.appendChild(element('td', e.text));
      row.appendChild(element('td', e.path, 'path'));
      row.appendChild(element('td', e.error));
    }
  }
}

$('token-form').addEventListener('submit', event => {
  event.preventDefault();
  sessionStorage.setItem(tokenKey, $('token').value.trim());
  $('token').value = '';
  say('');
  pollInstances(false);
  showFailures();
});
$('failure-filter').addEventListener('submit', event => {
  event.preventDefault();
  showFailures();
});
$('search').addEventListener('submit', event => {
  event.preventDefault();
  if ($('search-text').value) findClips($('search-text').value);
});

pollInstances();
loadElements();
showFailures();
setInterval(showFailures, 10000);
