// The "FTP" panel: one connection, its folder listing, transfers with progress.
var ftp = { handle: 0, path: '/' };

function ftpField(id) { return document.getElementById('ftp' + id); }
function ftpStatus(text) { ftpField('Status').textContent = text; }

function ftpInit() {
  var s = window.FTP_DEMO;
  if (s) {
    ftpField('Host').value = s.host; ftpField('Port').value = s.port;
    ftpField('User').value = s.user; ftpField('Password').value = s.password;
    ftpStatus('A local test server is running on ' + s.host + ':' + s.port + ' with a sample folder.');
  }
}

function ftpConnect() {
  if (ftp.handle && app.ftpState(ftp.handle) > 0) app._ftpClose(ftp.handle);
  ftp.handle = app._ftpConnect(ftpField('Host').value, number('ftpPort'), 'ftpOnState');
  if (!ftp.handle) { ftpStatus('Give a host and a port from 1 to 65535.'); return; }
  app._ftpLogin(ftp.handle, ftpField('User').value, ftpField('Password').value, 'ftpOnLoggedIn', 'ftpOnError');
  log('FTP connection ' + ftp.handle + ' to ' + ftpField('Host').value + ':' + number('ftpPort'));
}

function ftpOnState(n, name) {
  ftpStatus('State ' + n + ': ' + name);
  if (n === 0) ftpField('List').innerHTML = '';
}
function ftpOnError(e) {
  ftpField('Bar').value = 0;
  ftpStatus('Error ' + e.error_code + ': ' + e.error_text);
  log('FTP error ' + e.error_code + ': ' + e.error_text.replace(/\n/g, ' '));
}
function ftpOnLoggedIn() { ftp.path = '/'; ftpRefresh(); }

function ftpRefresh() {
  if (!ftp.handle) return;
  ftp.rows = [];
  app._ftpList(ftp.handle, 'ftpOnListed', 'ftpOnError', 'ftpOnEntry');
}
function ftpOnEntry(name, info) { ftp.rows.push({ name: name, info: info }); }
function ftpOnListed() {
  var table = ftpField('List');
  table.innerHTML = '';
  ftp.rows.sort(function (a, b) {
    return (b.info.is_dir - a.info.is_dir) || (a.name < b.name ? -1 : a.name > b.name ? 1 : 0);
  });
  if (ftp.path !== '/') ftp.rows.unshift({ name: '..', info: { is_dir: true, size: '', permissions: 0, owner: '', group: '' } });
  ftp.rows.forEach(function (row) {
    var tr = table.insertRow(-1);
    var cell = tr.insertCell(-1);
    var a = document.createElement('a');
    a.href = '#';
    a.className = 'link';
    a.textContent = (row.info.is_dir ? '\u25B8 ' : '') + row.name;   // text, never markup
    a.onclick = function () { row.info.is_dir ? ftpCd(row.name) : ftpDownload(row.name); return false; };
    cell.appendChild(a);
    tr.insertCell(-1).textContent = row.info.is_dir ? '' : row.info.size;
    tr.insertCell(-1).textContent = row.name === '..' ? '' : ftpPermissions(row.info);
    tr.insertCell(-1).textContent = row.info.owner + (row.info.group ? ':' + row.info.group : '');
  });
  ftpStatus('Listed ' + ftp.path + ': ' + (ftp.rows.length - (ftp.path !== '/' ? 1 : 0)) + ' entries. Click a folder to open it, a file to download it.');
}
function ftpPermissions(info) {
  var s = info.is_dir ? 'd' : info.is_symlink ? 'l' : '-', letters = 'rwxrwxrwx';
  for (var i = 0; i < 9; ++i) s += (info.permissions & (256 >> i)) ? letters[i] : '-';
  return s;
}

function ftpCd(name) {
  app._ftpCd(ftp.handle, name, 'ftpOnCd', 'ftpOnError');
  ftp.pendingPath = name === '..' ? ftp.path.replace(/[^\/]+\/?$/, '') || '/' : ftp.path.replace(/\/?$/, '/') + name;
}
function ftpOnCd() { ftp.path = ftp.pendingPath; ftpRefresh(); }

function ftpOnProgress(done, total) {
  var bar = ftpField('Bar');
  bar.max = total > 0 ? total : 1;
  bar.value = total > 0 ? done : 0;
  ftpField('Bytes').textContent = done + (total >= 0 ? ' of ' + total : '') + ' bytes';
}
function ftpDownload(name) {
  if (!ftp.handle) return;
  ftpStatus('Downloading ' + name + ' into the working directory…');
  app._ftpGet(ftp.handle, name, name, 'ftpOnDownloaded', 'ftpOnError', 'ftpOnProgress');
  ftp.lastDownload = name;
}
function ftpOnDownloaded() { ftpStatus('Downloaded ' + ftp.lastDownload + '.'); log('FTP downloaded ' + ftp.lastDownload); }
function ftpUpload() {
  if (!ftp.handle) { ftpStatus('Connect first.'); return; }
  var local = ftpField('Local').value, remote = ftpField('Remote').value || local.replace(/^.*[\/\\]/, '');
  ftpStatus('Uploading ' + local + ' as ' + remote + '…');
  app._ftpPut(ftp.handle, local, remote, 'ftpOnUploaded', 'ftpOnError', 'ftpOnProgress');
}
function ftpOnUploaded() { ftpStatus('Uploaded.'); log('FTP upload done'); ftpRefresh(); }
function ftpAbort() {
  if (!ftp.handle) return;
  app.ftpAbort(ftp.handle);
  log('FTP abort requested');
}
function ftpClose() {
  if (ftp.handle) app._ftpClose(ftp.handle, '', 'ftpOnError');
}

window.addEventListener('load', ftpInit);
