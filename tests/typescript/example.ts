/// <reference path="../../docs/vesk.d.ts" />
// Uses every operation vesk.d.ts declares, the way a page would.

function windows(): void {
  app.call('show', 'text', [1, null], { a: true });
  const sum: number = app.callWindow('notes', 'add', 2, 3);
  app.getWindow('notes').setWindowTitle('Notes');
  app.callParentWindow('done', 1);
  app.getParentWindow().showWindow();
  app._call(['f', 1], 0);
  const id = app.newTopWindow('second.html', 'notes');
  app.setActiveWindow(id);
  app.setWindowTitle(app.getWindowTitle() + sum);
  app.setWindowSize(800, 600);
  app.setWindowWidth(app.getWindowWidth());
  app.setWindowHeight(app.getWindowHeight());
  app.setWindowPosition(app.getWindowPositionX(), app.getWindowPositionY());
  app.centerWindowPosition(true, false);
  app.centerWindowPositionAccordingParent(true, true);
  app.setWindowMaximized(!app.isWindowMaximized());
  app.setWindowMinimized(app.isWindowMinimized());
  app.setWindowModal(!app.isWindowModal());
  app.showWindow();
  app.hideWindow();
  app.closeWindow();
  app.setWindowIcon('icon.png');
  app.reload();
  app.render();
  app.js('1 + 1');
  app.alert('Hello');
  app.alert(['Hello', ' world']);
  app.load('old.js');
  app.setWindowTypeWindow();
  app.setWindowTypeDialog();
  app.setWindowTypePopup();
  app.setWindowTypeTool();
  app.setWindowTypeSplashScreen();
  app.setWindowHintShowCaption(false);
  app.setWindowHintShowCaption(true, true, false, true, false);
  app.setWindowHintFrameless(true);
  app.setWindowHintOnTop(false);
  app.setLocalOnly();
  app.selectInputFile('input[type=file]', 'photo.jpg', 'upload');
  app.iframeAutoloadImages('frame', false);
  app.iframeFakeTop('frame');
  app._setOpeningWindowProperties('Choose', 480, 360);
  app.onFilesDropped('');
  app.exit(0);
}

function menusAndDialogs(): void {
  app.addMenu('file', 'File', 'file.png');
  app.switchMenu('file');
  app._addMenuAction('save', 'Save', 'save', '', 'Ctrl+S');
  app.addMenuSeparator('sep');
  app.removeMenuAction('save');
  app.hideMenuAction('save');
  app.showMenuAction('save');
  app.disableMenuAction('save');
  app.enableMenuAction('save');
  app.disableMenu();
  app.enableMenu();
  app.clearMenu();
  const n: string = app.prompt('How many?', 'Count', '3', 'int');
  app.info('Counted ' + n, 'Info');
  const yes: boolean = app.confirm('Sure?', 'Question', 'Yes', 'No');
  app.regSet('HKEY_CURRENT_USER/Software/Me', 'yes', yes);
  const v = app.regGet('HKEY_CURRENT_USER/Software/Me', 'yes', false);
  if (app.regIsSet('HKEY_CURRENT_USER/Software/Me', 'yes')) app.regDelete('HKEY_CURRENT_USER/Software/Me', 'yes');
  const keys: string[] = app.regAllKeys('HKEY_CURRENT_USER').concat(app.regKeys('HKEY_CURRENT_USER'),
                                                                    app.regGroups('HKEY_CURRENT_USER'));
  app.setSettings('last', app.getSettings('last', keys.length) + v);
  app.dbConnect('notes.db', 'notes');
  const rows = app.dbQuery('SELECT id, text FROM note WHERE text LIKE :q', 'notes', { q: '%a%' });
  const rowId: number | null = app.dbInsert('INSERT INTO note (text) VALUES (?)', 'notes', [String(rows[0].text)]);
  const many: number | null = app.dbInsertMany('notes', 'INSERT INTO note (text) VALUES (?)', [['a'], ['b']]);
  app.dbClose('notes');
  console.log(rowId, many);
}

function filesAndPrograms(): void {
  const chosen: string = app.openFile('Open', 'Images (*.png)', app.getDirHome()) + app.openNewFile('Save', '*', '.')
    + app.openDir('Folder', app.getDirTemp());
  const many: string[] = app.openFiles('Open', '*');
  const places = [app.getDirCurrent(), app.getDirDocuments(), app.getDirAppData(), app.getDirDesktop(),
                  app.getDirDownload(), app.getDirFonts(), app.getDirMovies(), app.getDirMusic(), app.getDirPictures()];
  app.setAppName('Example');
  app.exploreDir(places[0]);
  const written: boolean = app.filewrite('a.txt', app.fileread('b.txt'))
    && app.fileappend('a.txt', chosen + many.length);
  const made: boolean = app.mkfile('c.txt') && app.copy('a.txt', 'd.txt') && app.rename('d.txt', 'e.txt')
    && app.unlink('e.txt') && app.mkdir('x/y', true) && app.fileExists('a.txt') && app.dirExists('x')
    && app.rmdir('x') && app.copydir('app', 'backup');
  const size: number = app.filesize('a.txt') + app.filectime('a.txt') + app.fileatime('a.txt');
  const tree = app.dirContent('.');
  const temp = app.tempFile('.txt');
  const f = app.fopen(temp, 'w');
  const bytes: number = app.fwrite(f, tree.files.join(',')) + app.fwriteln(f, String(made && written) + size);
  console.log(bytes);
  app.fclose(f);
  const g = app.fopen(temp, 'r');
  console.log(app.fread(g, 10) + app.fgets(g, 0));
  app.fclose(g);
  const exec = app._exec('ls -l', 'done', 'more', 'failed');
  app.execOEMCP('dir', 'done');
  app.killExec(exec);
  const zero: number = app.wsystem('true');
  app.system('xdg-open . ' + zero);
}

function systemAndNetwork(): void {
  app.setClipboard(app.getClipboard() + app.getSystemLocale() + app.getOEMCP());
  const area = app.getScreenWidth() * app.getScreenHeight();
  const hashes = [app.md5('a'), app.sha1('a'), app.md5hex('a'), app.sha1hex('a'), app.fileMd5hex('a.txt')];
  const space = app.freespace('/') / app.totalspace('/');
  const stamp = app.date("yyyy-MM-dd 'at' hh:mm", app.mktime(9, 30, 0, 12, 24, 2040)) + app.time();
  app.openBrowser('https://example.org');
  const opened: boolean = app.openUrl('https://example.org');
  console.log(area, hashes, space, stamp, opened, app.getMacAddress());
  app.enableTaskbarProgress();
  app.setTaskbarProgressType(2);
  app.setTaskbarProgressValue(0.5);
  const trayShown: boolean = app.isTrayAvailable() && app.setTrayIcon('app/icon.png', 'Notes', 'trayClicked');
  const entries: VeskApi.TrayMenuEntry[] = [{ text: 'Open', onClick: 'openMain' }, { separator: true },
                                            { text: 'Quit', onClick: 'quit', icon: 'app/quit.png', enabled: true }];
  if (trayShown && app.setTrayMenu(entries)) app.removeTrayIcon();
  const notified: boolean = app.notify('Saved', 'notes.txt', 'app/icon.png', 'opened', 'dismissed');
  console.log(notified);
  app._download('http://example.org/a.zip', 'a.zip', 'ok', 'err', 'step');
  app._download('http://example.org/b.zip', 'b.zip', 'ok', 'err', '', { timeout: 30 });
  app._thumbnail('photo.jpg', 256, 'shown', 'notShown');
  const cookies: Partial<VeskApi.CookieRecord>[] = app.getAllCookies();
  app.setAllCookies(cookies.concat([{ name: 'theme', value: 'dark', domain: 'example.org', path: '/' }]));
  const w = app.createWidgetIframe('app/clock.html', 160, 80, true);
  app.switchWidget(w);
  widget.setPosition(20, 20);
  widget.setX(widget.getX() + 1);
  widget.setY(widget.getY() + 1);
  widget.setSize(widget.getWidth(), widget.getHeight());
  widget.setWidth(100);
  widget.setHeight(100);
  widget.show();
  widget.hide();
  widget.remove();
  app._iframeLoaded('frame', 'frameLoaded');
}

function ftpLowLevel(): void {
  const h = app._ftpConnect('ftp.example.org', 21, 'onState');
  app._ftpLogin(h, 'user', 'secret', 'ok', 'err');
  app._ftpList(h, 'ok', 'err', 'entry');
  app._ftpCd(h, 'photos', 'ok', 'err');
  app._ftpMkdir(h, 'new', 'ok', 'err');
  app._ftpRmdir(h, 'new', 'ok', 'err');
  app._ftpRemove(h, 'old.txt', 'ok', 'err');
  app._ftpRename(h, 'a', 'b', 'ok', 'err');
  app._ftpPut(h, 'local.txt', 'remote.txt', 'ok', 'err', 'progress');
  app._ftpGet(h, 'remote.txt', 'local.txt', 'ok', 'err', 'progress');
  app._ftpClose(h, 'ok', 'err');
  app.ftpAbort(h);
  const state: number = app.ftpState(h);
  console.log(state);
}

function plugins(): void {
  app.loadPlugin('libs/KOUpdater.dll');
  lkoupdater.hello();
  lkoupdater.updateData('data/catalog.db', 'data/keywords.txt', 'imported');
  lkoupdater.finished();
  app.loadPlugin('libs/KorvalenUploader');
  lkorvalen.hello();
  lkorvalen._login('id', 'key', 'secret', 'loggedIn', 'failed');
  lkorvalen._uploadFile('photo.jpg', { title: 'Sea', keywords: ['sea', 'sun'] }, 'ok', 'failed', 'progress');
  lkorvalen._checkReleases('1,2', 'ok', 'failed');
  lkorvalen._uploadRelease('release.pdf', 'model', 'Anna', 'Model release', '2024-05-01', 'ok', 'failed', 'progress');
  lkorvalen._attachReleases('17', '1,2', 'ok', 'failed');
  lkorvalen._getEarnings('2024-01-01', '2024-12-31', 'ok', 'failed');
  lkorvalen.abort();
  lkorvalen.close();
}

function uploads(): Promise<void> {
  const up = vesk.uploader;
  return up.login('id', 'key', 'secret')
    .then(sets => up.uploadFile('photo.jpg', { title: 'Sea ' + sets.photo.max_mpx },
                                { onProgress: (n, total) => console.log(n / total) }))
    .then(text => up.checkReleases(text.length > 0 ? '1,2' : ''))
    .then(() => up.uploadRelease('r.pdf', 'model', 'Anna', 'Model release', '2024-05-01', { onProgress: () => 0 }))
    .then(() => up.attachReleases('17', '1,2'))
    .then(() => up.getEarnings('2024-01-01', '2024-12-31'))
    .then(earnings => console.log(earnings), (e: VeskApi.UploaderError) => console.log(e.error_type, e.error_code,
                                                                                       e.error_text));
}

function promises(): Promise<void> {
  console.log(vesk.version, vesk.liveCallbacks().length);
  vesk.onClose(() => app.confirm('Quit?'));
  vesk.ready();
  vesk.settings.set('size', { w: 160, dark: false });
  const size: { w: number } = vesk.settings.get('size', { w: 100 });
  console.log(size.w, app.getArguments().length, app.getEnv('HOME') || '', app.dbLastError('notes'));
  app.screenshotReady();
  const single: boolean = vesk.onSecondInstance(start => console.log(start.arguments.join(' '), start.workdir));
  if (!single) app.setSecondInstanceHandler('');
  app._exec(['grep', '-e', 'say "hi"', 'notes.txt'], 'done');
  vesk.db.open('notes.db', 'n')
    .then(db => db.transaction(d => d.insert('INSERT INTO note (text) VALUES (?)', ['a']).then(() => d.query('SELECT 1')))
      .then(rows => console.log(rows.length), (e: VeskApi.DbError) => console.log(e.error_text))
      .then(() => db.close()));
  const run = vesk.exec('ls -l', { onOutput: (t: string) => console.log(t), oem: false });
  run.kill();
  vesk.menuAction('about', 'About', () => app.info('vesk'), '', 'F1');
  vesk.trayIcon('app/icon.png', 'Notes', () => app.showWindow());
  const menu: VeskApi.TrayMenuItem[] = [{ text: 'Show', onClick: () => app.showWindow() }, { separator: true }];
  vesk.trayMenu(menu);
  vesk.notify('Saved', 'notes.txt').then((clicked: boolean) => { if (clicked) app.showWindow(); },
                                         (e: { error_text: string }) => console.log(e.error_text));
  vesk.onFilesDropped((paths: string[]) => console.log(paths.length));
  vesk.onFilesDropped(null);
  const name = vesk.callback((x: number) => console.log(x));
  vesk.release(name);
  console.log(vesk.toNative({ when: new Date() }), vesk.call('f', new Date()), vesk.callParentWindow('f'),
              vesk.callWindow('w', 'f', new Uint8Array(2)));
  const later = vesk.operation<string>(op => {
    app._exec('date', op.name(op.resolve), '', op.name(op.reject));
    return { started: op.settled() };
  });
  const ftp = vesk.ftp('ftp.example.org', 21, { onState: (n, label) => console.log(n === 4, label) });
  return run
    .then(r => console.log(r.id + r.output + run.id, r.code === 0 && !r.crashed, r.dropped),
          (e: VeskApi.ExecError) => console.log(e.error_text, e.code))
    .then(() => vesk.thumbnail('photo.jpg', 256)).then((url: string) => console.log(url.length))
    .then(() => vesk.download('http://example.org/a', 'a', { onProgress: (d, t) => console.log(d / t), timeout: 30 }))
    .catch((e: VeskApi.DownloadError) => console.log(e.http_status))
    .then(() => later)
    .then(() => vesk.iframeLoaded('frame'))
    .then((loaded: boolean) => ftp.login('user', 'secret').then(() => loaded))
    .then(() => ftp.list({ onEntry: (n, info) => console.log(n, info.is_writeble) }))
    .then(entries => Promise.all([ftp.cd(entries[0].name), ftp.mkdir('a'), ftp.rmdir('a'), ftp.remove('b'),
                                  ftp.rename('c', 'd'), ftp.put('x', 'y', { onProgress: (d, t) => d < t }),
                                  ftp.get('y', 'x')]))
    .then(() => ftp.close())
    .catch((e: VeskApi.FtpError) => { ftp.abort(); console.log(e.error_code, ftp.state(), ftp.handle); })
    .then(() => ftp.dispose())
    .then(() => vesk.plugins.load('libs/VeskExample', 'lexample'))
    .then(() => vesk.updater.importDictionary('data/catalog.db', 'data/keywords.txt'))
    .then(r => console.log(r.inserted), (r: VeskApi.ImportResult) => console.log(r.status, r.error_text));
}

windows();
menusAndDialogs();
filesAndPrograms();
systemAndNetwork();
ftpLowLevel();
plugins();
promises();
uploads();
