// One instance: "singleInstance" in vesk.json sends every later start here.
window.addEventListener('load', function () {
  if (typeof app === 'undefined')
    return;
  var out = document.getElementById('instanceLog');
  var listening = vesk.onSecondInstance(function (start) {
    var line = document.createElement('div');
    line.textContent = new Date().toLocaleTimeString() + ': started again in ' + start.workdir +
      ' with ' + JSON.stringify(start.arguments);
    out.appendChild(line);
    log('second start: ' + JSON.stringify(start));
  });
  out.textContent = listening
    ? 'Run the demo again (vesk --workdir examples/demo -- any words): the new start ends and shows up here.'
    : 'This process does not receive later starts (not started from its manifest).';
});
