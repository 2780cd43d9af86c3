// The "Plug-ins" panel: native libraries loaded into this page.
function loadUpdater() {
  app.loadPlugin('libs/KOUpdater.dll');
  document.getElementById('pluginState').textContent =
    typeof lkoupdater === 'object' ? 'lkoupdater loaded' : 'KOUpdater not found in libs/ or the installed plug-ins';
}

function importKeywords() {
  if (typeof lkoupdater !== 'object') loadUpdater();
  if (typeof lkoupdater !== 'object') return;
  document.getElementById('importResult').textContent = 'importing…';
  lkoupdater.updateData('data/catalog.db', 'data/keywords.txt', 'keywordsImported');
}

// The updater's callback: one object describing the import.
function keywordsImported(result) {
  var text = result.status + ': ' + result.records + ' records, ' + result.inserted + ' inserted, ' +
    result.updated + ' updated, ' + result.confirmed + ' confirmed, ' + result.deleted + ' deleted, ' +
    result.skipped + ' skipped in ' + result.seconds.toFixed(3) + ' s';
  if (result.error_text) text += ' (' + result.error_text + ')';
  document.getElementById('importResult').textContent = text;
  log('keyword import ' + result.status);
}

function loadExample() {
  app.loadPlugin('libs/VeskExample');
  if (typeof lexample !== 'object') { log('VeskExample not found'); return; }
  document.getElementById('exampleAnswer').textContent = lexample.greet(value('exampleName'));
}

// The link calls remember() in the library directly; the plug-in object then tells what arrived.
function showDirectCall() {
  if (typeof lexample !== 'object') app.loadPlugin('libs/VeskExample');
  if (typeof lexample !== 'object') return;
  document.getElementById('exampleAnswer').textContent = 'last direct call: ' + JSON.stringify(lexample.lastCall());
}
