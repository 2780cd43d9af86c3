// The "Uploader" panel: sign in to the upload service, upload a photo with a
// progress bar, fetch earnings and read them back from the catalog.
// scripts/demo.sh --uploader starts a local stand-in and writes UPLOADER_DEMO.
function uploaderReady() {
  if (typeof lkorvalen !== 'object') app.loadPlugin('libs/KorvalenUploader.dll');
  if (typeof lkorvalen === 'object') return true;
  uploaderSay('KorvalenUploader not found in libs/');
  return false;
}

function uploaderSay(text) { document.getElementById('upState').textContent = text; }

function uploaderFailed(e) {
  uploaderSay(e ? e.error_type + ' ' + e.error_code + ': ' + e.error_text : 'failed');
}

function uploaderSignIn() {
  if (!uploaderReady()) return;
  uploaderSay('signing in…');
  lkorvalen._login(value('upClient'), value('upKey'), value('upPassword'), 'uploaderSignedIn', 'uploaderFailed');
}

function uploaderSignedIn(sets) {
  uploaderSay('signed in; photos from ' + sets.photo.min_mpx + ' to ' + sets.photo.max_mpx + ' MP, quality ' +
    sets.photo.q + '; releases: ' + sets.release.exts.join(', '));
}

function uploaderPick() {
  var path = app.openFile('Photo', 'JPEG (*.jpg *.jpeg);;All (*)');
  if (path) document.getElementById('upFile').value = path;
}

function uploaderUpload() {
  if (!uploaderReady()) return;
  document.getElementById('upProgress').value = 0;
  uploaderSay('uploading…');
  lkorvalen._uploadFile(value('upFile'), {title: value('upTitle'), desc: '', keywords: value('upTitle').split(' ')},
    'uploaderUploaded', 'uploaderFailed', 'uploaderProgress');
}

function uploaderProgress(n, total) { document.getElementById('upProgress').value = n / total; }

function uploaderUploaded(response) { uploaderSay('uploaded: ' + response); }

// The catalog's tables belong to the application; the plug-in only fills them.
function uploaderEarnings() {
  if (!uploaderReady() || typeof UPLOADER_DEMO !== 'object' || !UPLOADER_DEMO) {
    uploaderSay('start the demo with --uploader for a catalog');
    return;
  }
  app.dbConnect(UPLOADER_DEMO.catalog, 'catalog');
  app.dbQuery('CREATE TABLE IF NOT EXISTS stock (ID INTEGER PRIMARY KEY, Earnings, Currency, Rate)', 'catalog');
  app.dbQuery('INSERT OR IGNORE INTO stock (ID) VALUES (1)', 'catalog');
  app.dbQuery('CREATE TABLE IF NOT EXISTS stockstats (ID INTEGER PRIMARY KEY, Value, Type, Day, Month, Year, ' +
    'StockID)', 'catalog');
  lkorvalen._getEarnings('2024-01-01', '2024-12-31', 'uploaderEarningsDone', 'uploaderFailed');
}

function uploaderEarningsDone() {
  var stock = app.dbQuery('SELECT Earnings, Currency, Rate FROM stock WHERE ID = 1', 'catalog')[0] || {};
  var days = app.dbQuery('SELECT Year, Month, Day, Type, Value FROM stockstats WHERE Type > 0 ORDER BY ID', 'catalog');
  var lines = ['total ' + stock.Earnings + ' ' + stock.Currency + ' (rate ' + stock.Rate + ')'];
  days.forEach(function (r) {
    lines.push(r.Year + '-' + r.Month + '-' + r.Day + ' ' + (r.Type == 1 ? 'earned ' : 'sold ') + r.Value);
  });
  document.getElementById('upEarnings').textContent = lines.join('\n');
  uploaderSay('catalog updated');
}
