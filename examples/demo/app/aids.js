// "Typed settings, SQL errors, arguments" panel: settings that keep their types,
// the driver's text for a failed statement, a transaction, a program given as
// an array, the command line and the environment, and the console.
function aidsSettings() {
  var prefs = vesk.settings.get('demo/prefs', { runs: 0, compact: false });
  prefs.runs += 1;
  prefs.compact = !prefs.compact;
  vesk.settings.set('demo/prefs', prefs);
  document.getElementById('aidsPrefs').textContent = 'vesk.settings: ' + JSON.stringify(prefs) +
    ' (types kept across restarts; app.getSettings gives the text ' + app.getSettings('demo/prefs') + ')';
}

function aidsBadSql() {
  vesk.db.open('notes.db', 'aids')
    .then(function (db) { return db.query('SELEC * FROM note'); })
    .then(function () { log('unexpected: the bad statement worked'); },
          function (e) { log('SQL rejected: ' + e.error_text); });
}

function aidsTransaction() {
  vesk.db.open('notes.db', 'aids').then(function (db) {
    return db.transaction(function (d) {
      return d.insert("INSERT INTO note (text, at) VALUES (?, datetime('now'))", ['in a transaction'])
        .then(function () { return d.query('INSERT INTO nowhere VALUES (1)'); });
    }).catch(function (e) {
      return db.query("SELECT count(*) AS n FROM note WHERE text = 'in a transaction'").then(function (rows) {
        log('Transaction rolled back (' + e.error_text + '); rows kept: ' + rows[0].n);
      });
    });
  });
}

function aidsArrayCommand() {
  vesk.exec(['printf', '[%s] ', 'say "hi"', "it's", '$HOME *'])
    .then(function (r) { log('Array command, no shell: ' + r.output); });
}

function aidsEnvironment() {
  console.log('Arguments after --:', app.getArguments(), 'HOME is', app.getEnv('HOME'), { unset: app.getEnv('NO_SUCH_VAR') });
  document.getElementById('aidsEnv').textContent = 'getArguments(): ' + JSON.stringify(app.getArguments()) +
    ', getEnv("HOME"): ' + JSON.stringify(app.getEnv('HOME'));
}

window.addEventListener('load', function () {
  if (typeof app === 'undefined')
    return;
  aidsEnvironment();
  // vesk --screenshot shot.png --screenshot-wait takes its picture now.
  vesk.ready();
});
