// Shared by the demo's pages: a small log that also goes to the console.
function log(text) {
  var el = document.getElementById('log');
  var line = new Date().toTimeString().substr(0, 8) + '  ' + text;
  if (el) { el.textContent += line + '\n'; el.scrollTop = el.scrollHeight; }
  console.log(text);
}
function value(id) { return document.getElementById(id).value; }
function number(id) { return parseInt(value(id), 10) || 0; }
