// "Menus, dialogs and storage" panel: a menu built from script, the three
// dialogs, a registry value, a setting and a localStorage counter that survive
// a restart, and a small notes table written with bound parameters.
var storageRegistryPath = 'HKEY_CURRENT_USER/Software/vesk/demo';

function storageBuildMenu() {
  app.addMenu('demo', 'Demo');
  app.switchMenu('demo');
  app._addMenuAction('demoAsk', 'Ask a number…', 'storageAskNumber', '', 'Ctrl+Shift+N');
  app._addMenuAction('demoInfo', 'About', 'storageInfo');
  app.addMenuSeparator('demoSep');
  app._addMenuAction('demoCount', 'Count notes', 'storageCountNotes');
  app.switchMenu();
  log('Menu "Demo" built from script');
}

function storageAskNumber() {
  var n = app.prompt('How many?', 'Number', '3', 'int');
  log(n === '' ? 'Prompt cancelled' : 'Number entered: ' + n);
}

function storageInfo() {
  app.info('Menus, dialogs and storage from a page.', 'About');
}

function storageConfirm() {
  log(app.confirm('Really?', 'Confirm') ? 'Confirmed' : 'Declined');
}

function storagePrompt() {
  var kind = document.getElementById('promptKind').value;
  log('prompt (' + kind + '): ' + JSON.stringify(app.prompt('Enter a value', 'Prompt', '', kind)));
}

function storageVisits() {
  var settings = Number(app.getSettings('demo/visits', 0)) + 1;
  app.setSettings('demo/visits', settings);
  var registry = Number(app.regGet(storageRegistryPath, 'visits', 0)) + 1;
  app.regSet(storageRegistryPath, 'visits', registry);
  document.getElementById('visits').textContent =
    'Started ' + settings + ' times (config.ini), ' + registry + ' times (registry)' + storageLocalVisits();
}

// Web storage is kept in the application's data folder (app/vesk.json names the id).
function storageLocalVisits() {
  if (!window.localStorage)
    return ', no localStorage here';
  var visits = Number(localStorage.getItem('demo.visits') || 0) + 1;
  localStorage.setItem('demo.visits', String(visits));
  return ', ' + visits + ' times (localStorage)';
}

function storageOpenNotes() {
  app.dbConnect('notes.db', 'notes');
  app.dbQuery('CREATE TABLE IF NOT EXISTS note (id INTEGER PRIMARY KEY, text TEXT, at TEXT)', 'notes');
  app.dbQuery('CREATE TABLE IF NOT EXISTS start (at TEXT)', 'notes');
  app.dbInsert("INSERT INTO start (at) VALUES (datetime('now'))", 'notes');
  log('Start ' + app.dbQuery('SELECT count(*) AS n FROM start', 'notes')[0].n + ' recorded in notes.db');
}

function storageAddNote() {
  var text = document.getElementById('noteText').value;
  var id = app.dbInsert("INSERT INTO note (text, at) VALUES (?, datetime('now'))", 'notes', [text]);
  log('Note ' + id + ' saved');
  storageShowNotes();
}

// Many rows in one call and one transaction: all of them, or none when one fails.
function storageAddSampleNotes() {
  var rows = [];
  for (var i = 1; i <= 1000; ++i) rows.push(['Sample note ' + i]);
  var n = app.dbInsertMany('notes', "INSERT INTO note (text, at) VALUES (?, datetime('now'))", rows);
  log(n === null ? 'Sample notes not saved' : n + ' sample notes saved');
  storageShowNotes();
}

function storageCountNotes() {
  log('Notes: ' + app.dbQuery('SELECT count(*) AS n FROM note', 'notes')[0].n);
}

function storageShowNotes() {
  var rows = app.dbQuery('SELECT id, text, at FROM note ORDER BY id DESC LIMIT 5', 'notes');
  var list = document.getElementById('notes');
  list.textContent = '';
  rows.forEach(function (row) {
    var item = document.createElement('li');
    item.textContent = row.id + ': ' + row.text + ' (' + row.at + ')';
    list.appendChild(item);
  });
}

window.addEventListener('load', function () {
  if (typeof app === 'undefined')
    return;
  storageBuildMenu();
  storageVisits();
  storageOpenNotes();
  storageShowNotes();
});
