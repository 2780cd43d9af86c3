// "Dropped files" panel: files dragged from the desktop onto the window, as paths.
var droppedCount = 0;

function dropShow(paths) {
  var list = document.getElementById('dropList');
  droppedCount += paths.length;
  paths.forEach(function (path) {
    var item = document.createElement('li');
    item.textContent = path;
    list.appendChild(item);
  });
  document.getElementById('dropInfo').textContent = droppedCount + ' path(s) so far';
  log('dropped: ' + paths.length + ' file(s)');
}

function dropToggle() {
  var on = document.getElementById('dropOn').checked;
  vesk.onFilesDropped(on ? dropShow : null);
  log(on ? 'drops come to the page as paths' : 'drops are the engine\'s again');
}

function dropClear() {
  document.getElementById('dropList').innerHTML = '';
  droppedCount = 0;
  document.getElementById('dropInfo').textContent = '';
}

vesk.onFilesDropped(dropShow);
