// Notifications, the tray icon and taskbar progress.
function desktopNotify() {
  vesk.notify('vesk demo', 'Click me to bring the demo to the front.', 'app/icon.svg').then(function (clicked) {
    log(clicked ? 'notification clicked' : 'notification closed unclicked');
    if (clicked) app.showWindow();
  }, function (e) { log('notify: ' + e.error_text); });
}

function desktopEngineNotify() {
  Notification.requestPermission(function (permission) {
    var n = new Notification('vesk demo', { body: 'From the engine\'s Notification (' + permission + ')' });
    n.onclick = function () { log('engine notification clicked'); };
  });
}

function desktopTray() {
  var shown = vesk.trayIcon('app/icon.svg', 'vesk demo', function () { log('tray icon clicked'); app.showWindow(); });
  vesk.trayMenu([
    { text: 'Show the demo', onClick: function () { app.showWindow(); } },
    { text: 'Notify', onClick: desktopNotify },
    { separator: true },
    { text: 'Remove the tray icon', onClick: function () { app.removeTrayIcon(); log('tray icon removed'); } }
  ]);
  log(shown ? 'tray icon shown' : 'no tray on this desktop: the icon appears when one starts');
}

var desktopProgressTimer = null;
function desktopProgress() {
  clearInterval(desktopProgressTimer);
  var value = 0;
  app.enableTaskbarProgress();
  app.setTaskbarProgressType(2);
  desktopProgressTimer = setInterval(function () {
    value += 0.1;
    app.setTaskbarProgressValue(Math.min(value, 1));
    document.getElementById('taskbarBar').value = Math.min(value, 1);
    if (value >= 1) {
      clearInterval(desktopProgressTimer);
      app.setTaskbarProgressType(0);
      log('taskbar progress done');
    }
  }, 300);
}
