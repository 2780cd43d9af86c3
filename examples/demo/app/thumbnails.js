// "Photo grid" panel: every image of a folder as a 128-pixel thumbnail.
function thumbsPickDir() {
  var dir = app.openDir('Choose a folder of photos', value('thumbDir'));
  if (dir) { document.getElementById('thumbDir').value = dir; thumbsShow(); }
}

function thumbsShow() {
  var dir = value('thumbDir') || '.';
  var grid = document.getElementById('thumbGrid');
  var status = document.getElementById('thumbStatus');
  grid.innerHTML = '';
  var names = app.dirContent(dir).files.filter(function (f) { return /\.(jpe?g|png|gif|bmp)$/i.test(f); });
  var done = 0, failed = 0, started = Date.now();
  function report() {
    status.textContent = done + ' of ' + names.length + ' shown' + (failed ? ', ' + failed + ' failed' : '') +
      ' in ' + (Date.now() - started) + ' ms';
  }
  report();
  names.forEach(function (name) {
    var img = document.createElement('img');
    img.title = name;
    img.style.cssText = 'width:128px; height:128px; object-fit:contain; background:#eee';
    grid.appendChild(img);
    vesk.thumbnail(dir + '/' + name, 128).then(function (url) {
      img.src = url;
      ++done; report();
    }, function (e) {
      img.alt = e.error_text;
      img.title = name + ': ' + e.error_text;
      ++failed; report();
    });
  });
  log('asked for ' + names.length + ' thumbnails of ' + dir);
}
