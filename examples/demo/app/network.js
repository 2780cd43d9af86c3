// "Network and widgets" panel: a download with progress, cookies saved and
// restored, and two widgets (one embedded, one moved over the page).
var savedCookies = null;
var floatingWidget = 0;

function downloadSource() {
  // scripts/demo.sh serves a file on a loopback port and names it here; without
  // it the download reads one of the application's own files.
  if (window.demoServer)
    return window.demoServer + 'sample.bin';
  return location.href.replace(/[^\/]*$/, 'demo.js');
}

// With vesk.js: one promise instead of three callback names.
function startDownload() {
  var bar = document.getElementById('dlBar');
  var info = document.getElementById('dlInfo');
  bar.value = 0;
  info.textContent = 'downloading ' + downloadSource();
  return vesk.download(downloadSource(), 'downloaded.bin', {
    onProgress: function (got, total) {
      bar.value = total > 0 ? got / total : 0.5;
      info.textContent = got + (total >= 0 ? ' of ' + total : '') + ' bytes';
    }
  }).then(function () { info.textContent += ': saved as downloaded.bin'; },
          function (e) { info.textContent = 'failed: ' + e.http_status + ' ' + e.error_text; });
}

function showCookies(list) {
  document.getElementById('cookieInfo').textContent = list.length ? list.map(function (c) {
    return c.name + '=' + atob(c.value64) + (c.session === '1' ? ' (session)' : ' (until ' + c.expiration + ')');
  }).join('\n') : '(no cookies)';
}
function setSampleCookies() {
  app.setAllCookies([{ name: 'theme', value: 'dark', domain: 'example.org', path: '/' },
                     { name: 'visits', value: '3', domain: 'example.org', path: '/', expiration: '2000000000' }]);
  showCookies(app.getAllCookies());
}
function saveCookies() { savedCookies = app.getAllCookies(); showCookies(savedCookies); }
function clearCookies() { app.setAllCookies([]); showCookies(app.getAllCookies()); }
function restoreCookies() { if (savedCookies) app.setAllCookies(savedCookies); showCookies(app.getAllCookies()); }

function embedWidget() {
  var id = app.createWidgetIframe('app/widget.html');
  document.getElementById('widgetSlot').innerHTML = '<object type="vesk/widget">'
    + '<param name="widgetid" value="' + id + '"><param name="width" value="260"></object>';
}
function floatWidget() {
  if (!floatingWidget)
    floatingWidget = app.createWidgetIframe('app/widget.html', 160, 90, true);
  app.switchWidget(floatingWidget);
  widget.setPosition(40 + Math.floor(Math.random() * 400), 40 + Math.floor(Math.random() * 300));
  widget.show();
}
function removeFloatingWidget() {
  if (!floatingWidget)
    return;
  app.switchWidget(floatingWidget);
  widget.remove();
  floatingWidget = 0;
}
