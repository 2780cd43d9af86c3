// "Files and processes" panel: folders, file ids, programs, hashes, clipboard, disk space and dates.
function filesShow(id, text) { document.getElementById(id).textContent = text; }

function filesList() {
  var dir = value('filesDir') || '.';
  var content = app.dirContent(dir);
  var lines = content.dirs.map(function (d) { return '[' + d + ']'; })
    .concat(content.files.map(function (f) { return f + '  ' + app.filesize(dir + '/' + f) + ' B'; }));
  filesShow('filesListing', lines.length ? lines.join('\n') : '(empty or missing)');
  log('listed ' + dir + ': ' + content.dirs.length + ' folders, ' + content.files.length + ' files');
}
function filesPickDir() {
  var dir = app.openDir('Choose a folder', value('filesDir'));
  if (dir) { document.getElementById('filesDir').value = dir; filesList(); }
}

function filesWriteRead() {
  var path = app.getDirTemp() + '/vesk-demo.txt';
  var id = app.fopen(path, 'w');
  if (!id) { filesShow('filesText', 'cannot open ' + path); return; }
  app.fwriteln(id, value('filesLine'));
  app.fwriteln(id, 'written ' + app.date('yyyy-MM-dd hh:mm:ss'));
  app.fclose(id);
  id = app.fopen(path, 'r');
  var first = app.fgets(id, 0), second = app.fgets(id, 0);
  app.fclose(id);
  filesShow('filesText', 'id ' + id + ' read back from ' + path + ':\n' + first + second +
            'md5 ' + app.fileMd5hex(path));
}

// The program runs through vesk.js: a promise, with the output streaming in on the way.
var filesRunning = null;
function filesOutput(text) { document.getElementById('filesOut').textContent += text; }
function filesRun() {
  filesShow('filesOut', '');
  var run = vesk.exec(value('filesCommand'), { onOutput: filesOutput });
  filesRunning = run;
  log('started program ' + run.id + ': ' + value('filesCommand'));
  run.then(function (r) { log('program ' + r.id + ' ended, ' + r.output.length + ' characters'); },
           function () { filesOutput('\n(could not start or ended abnormally)\n'); })
     .then(function () { if (filesRunning === run) filesRunning = null; });
}
function filesKill() { if (filesRunning) filesRunning.kill(); }

function filesHashes() {
  var t = value('filesHashText');
  filesShow('filesHashOut', 'md5  ' + app.md5hex(t) + '\nsha1 ' + app.sha1hex(t));
}
function filesCopy() { app.setClipboard(value('filesHashText')); log('copied to the clipboard'); }
function filesPaste() { document.getElementById('filesHashText').value = app.getClipboard(); filesHashes(); }

function filesSystem() {
  function mib(n) { return n < 0 ? 'unknown' : (n / 1048576).toFixed(0) + ' MiB'; }
  var docs = app.getDirDocuments();
  var volume = app.dirExists(docs) ? docs : '.';
  filesShow('filesSystem',
            'documents  ' + docs + '\n' +
            'free       ' + mib(app.freespace(volume)) + ' of ' + mib(app.totalspace(volume)) + '\n' +
            'now        ' + app.date("dddd d MMMM yyyy, hh:mm:ss") + '\n' +
            '2040-01-01 ' + app.date('yyyy-MM-dd hh:mm', app.mktime(12, 0, 0, 1, 1, 2040)) + ' (after 2038)\n' +
            'screen     ' + app.getScreenWidth() + ' × ' + app.getScreenHeight() + ', locale ' +
            app.getSystemLocale() + ', MAC ' + (app.getMacAddress() || 'none'));
}
window.addEventListener('load', function () { filesList(); filesSystem(); });
