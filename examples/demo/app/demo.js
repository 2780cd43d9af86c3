// Shared by the demo's pages: a small log that also goes to the console.
function log(text) {
  var el = document.getElementById('log');
  var line = new Date().toTimeString().substr(0, 8) + '  ' + text;
  if (el) { el.textContent += line + '\n'; el.scrollTop = el.scrollHeight; }
  console.log(text);
}
function value(id) { return document.getElementById(id).value; }
function number(id) { return parseInt(value(id), 10) || 0; }

// A report written outside app/: shown untrusted in a window of its own, refused in a frame.
function showReport() {
  var path = app.getDirTemp() + '/vesk-demo-report.html';
  app.filewrite(path, '<html><head><title>Report (untrusted)</title></head><body><h1>A report</h1>' +
    '<p id="r"></p><script>document.getElementById("r").textContent = "Here typeof app is " + typeof app;' +
    '</script></body></html>');
  var url = 'file://' + encodeURI(path);
  app.newTopWindow('', 'report');
  app.getWindow('report').js('location.href = ' + JSON.stringify(url));
  var frame = document.getElementById('reportFrame');
  frame.src = url;
  setTimeout(function () {
    var body = frame.contentDocument && frame.contentDocument.body;
    document.getElementById('reportInfo').textContent = 'Window "report" shows ' + path +
      '; in a frame of this page it ' + (body && body.textContent ? 'loaded (!)' : 'was refused') + '.';
  }, 500);
}
