/* vesk.js: promises and events over the callback-name operations of `app`.
 * Load it with <script src="qrc:/vesk.js"></script> (built into vesk) or from a copy
 * in your application. Plain JavaScript that Qt WebKit 5.212 runs as it is. */
(function (global) {
  'use strict';

  // What the engine lacks of later JavaScript, only where it is missing. -------

  function polyfill(object, name, value) {
    if (object && typeof object[name] !== 'function')
      Object.defineProperty(object, name, { value: value, configurable: true, writable: true });
  }
  polyfill(Object, 'values', function (o) { return Object.keys(o).map(function (k) { return o[k]; }); });
  polyfill(Object, 'entries', function (o) { return Object.keys(o).map(function (k) { return [k, o[k]]; }); });
  function pad(text, length, filler, atStart) {
    text = String(text);
    filler = filler === undefined ? ' ' : String(filler);
    length = Math.floor(length) || 0;
    if (length <= text.length || filler === '') return text;
    var fill = filler.repeat(Math.ceil((length - text.length) / filler.length)).slice(0, length - text.length);
    return atStart ? fill + text : text + fill;
  }
  polyfill(String.prototype, 'padStart', function (length, filler) { return pad(this, length, filler, true); });
  polyfill(String.prototype, 'padEnd', function (length, filler) { return pad(this, length, filler, false); });
  polyfill(Array.prototype, 'includes', function (item, from) {
    var list = Object(this), n = list.length >>> 0, i = Math.floor(from) || 0;
    for (i = i < 0 ? Math.max(n + i, 0) : i; i < n; ++i)
      if (list[i] === item || (item !== item && list[i] !== list[i])) return true;
    return false;
  });
  if (typeof Promise !== 'undefined')
    polyfill(Promise.prototype, 'finally', function (fn) {
      var C = this.constructor || Promise;
      return this.then(function (v) { return C.resolve(fn()).then(function () { return v; }); },
                       function (e) { return C.resolve(fn()).then(function () { throw e; }); });
    });

  // A small IntersectionObserver: checks on scroll, resize and a slow timer, so
  // lazy lists and "load more" work; rootMargin in px only.
  if (typeof global.IntersectionObserver !== 'function' && typeof document !== 'undefined') {
    var IO = function (callback, options) {
      options = options || {};
      var t = options.threshold === undefined ? [0] : [].concat(options.threshold);
      this._callback = callback;
      this.root = options.root || null;
      this.rootMargin = options.rootMargin || '0px';
      this.thresholds = t.sort();
      this._targets = [];
      this._records = [];
      var self = this;
      this._check = function () { self._update(); };
    };
    IO.prototype.observe = function (target) {
      if (this._targets.some(function (e) { return e.target === target; })) return;
      this._targets.push({ target: target, state: null });
      if (this._targets.length === 1) {
        global.addEventListener('scroll', this._check, true);
        global.addEventListener('resize', this._check, true);
        this._timer = setInterval(this._check, 200);
      }
      setTimeout(this._check, 0);
    };
    IO.prototype.unobserve = function (target) {
      this._targets = this._targets.filter(function (e) { return e.target !== target; });
      if (!this._targets.length) this.disconnect();
    };
    IO.prototype.disconnect = function () {
      this._targets = [];
      global.removeEventListener('scroll', this._check, true);
      global.removeEventListener('resize', this._check, true);
      clearInterval(this._timer);
    };
    IO.prototype.takeRecords = function () { return this._records.splice(0); };
    IO.prototype._update = function () {
      var m = String(this.rootMargin).split(/\s+/).map(function (v) { return parseFloat(v) || 0; });
      while (m.length < 4) m.push(m[m.length > 1 ? m.length - 2 : 0]);
      var r = this.root ? this.root.getBoundingClientRect()
                        : { top: 0, left: 0, right: global.innerWidth, bottom: global.innerHeight };
      var root = { top: r.top - m[0], right: r.right + m[1], bottom: r.bottom + m[2], left: r.left - m[3] };
      root.width = root.right - root.left;
      root.height = root.bottom - root.top;
      var self = this;
      this._targets.forEach(function (e) {
        var b = e.target.getBoundingClientRect();
        var top = Math.max(b.top, root.top), bottom = Math.min(b.bottom, root.bottom);
        var left = Math.max(b.left, root.left), right = Math.min(b.right, root.right);
        var w = Math.max(right - left, 0), h = Math.max(bottom - top, 0);
        var inside = document.documentElement.contains(e.target) && bottom >= top && right >= left;
        var area = b.width * b.height;
        var ratio = !inside ? 0 : area > 0 ? (w * h) / area : 1;
        var state = !inside ? -1 : self.thresholds.filter(function (t) { return ratio >= t; }).length;
        if (state === e.state) return;
        e.state = state;
        self._records.push({ target: e.target, time: Date.now(), isIntersecting: inside, intersectionRatio: ratio,
                             boundingClientRect: b, rootBounds: root,
                             intersectionRect: { top: top, left: left, right: left + w, bottom: top + h, width: w, height: h } });
      });
      if (this._records.length) this._callback(this.takeRecords(), this);
    };
    global.IntersectionObserver = IO;
  }

  // A page may already have a `vesk` object for the close question (_exit): keep it.
  var vesk = global.vesk && typeof global.vesk === 'object' ? global.vesk : {};
  global.vesk = vesk;
  vesk.version = '1.1';

  var counter = 0;
  var prefix = '__vesk_cb_' + Math.floor(Math.random() * 1e9).toString(36) + '_';

  // Callback names: a unique global per function, removed again by release().
  function callback(fn) {
    var name = prefix + (++counter);
    global[name] = function () {
      return fn.apply(null, arguments);
    };
    return name;
  }
  function release(names) {
    for (var i = 0; i < names.length; ++i)
      if (names[i]) delete global[names[i]];
  }
  function liveCallbacks() {
    return Object.keys(global).filter(function (k) { return k.indexOf('__vesk_cb_') === 0; });
  }
  vesk.callback = callback;
  vesk.release = function (name) { release([name]); };
  vesk.liveCallbacks = liveCallbacks;

  // One operation: callbacks named for it, all released together when it settles.
  function operation(start) {
    var names = [];
    var settled = false;
    var resolveFn, rejectFn;
    var promise = new Promise(function (resolve, reject) { resolveFn = resolve; rejectFn = reject; });
    function settle(ok, value) {
      if (settled) return;
      settled = true;
      release(names);
      (ok ? resolveFn : rejectFn)(value);
    }
    var op = {
      name: function (fn) { var n = callback(fn); names.push(n); return n; },
      resolve: function (v) { settle(true, v); },
      reject: function (e) { settle(false, e); },
      settled: function () { return settled; }
    };
    var extra = start(op);
    if (extra) Object.keys(extra).forEach(function (k) { promise[k] = extra[k]; });
    return promise;
  }
  vesk.operation = operation;

  // What the bridge would turn into null or {}: Date becomes its ISO text, typed
  // arrays and ArrayBuffers plain arrays, at any depth.
  function toNative(value, depth) {
    depth = depth || 0;
    if (value === null || typeof value !== 'object' || depth > 200) return value;
    if (value instanceof Date) return isNaN(value.getTime()) ? null : value.toISOString();
    if (typeof ArrayBuffer !== 'undefined') {
      if (value instanceof ArrayBuffer) return Array.prototype.slice.call(new Uint8Array(value));
      if (ArrayBuffer.isView && ArrayBuffer.isView(value) && !(value instanceof DataView))
        return Array.prototype.slice.call(value);
    }
    if (Array.isArray(value)) return value.map(function (v) { return toNative(v, depth + 1); });
    var out = {};
    Object.keys(value).forEach(function (k) { out[k] = toNative(value[k], depth + 1); });
    return out;
  }
  vesk.toNative = function (value) { return toNative(value, 0); };
  function nativeArgs(args, from) {
    return Array.prototype.slice.call(args, from).map(function (v) { return toNative(v, 0); });
  }
  vesk.call = function (name) {
    return app._call([String(name)].concat(nativeArgs(arguments, 1)), 0);
  };
  vesk.callWindow = function (window, name) {
    return app.callWindow.apply(app, [String(window), String(name)].concat(nativeArgs(arguments, 2)));
  };
  vesk.callParentWindow = function (name) {
    return app.callParentWindow.apply(app, [String(name)].concat(nativeArgs(arguments, 1)));
  };

  function opt(options, key) {
    return options && typeof options[key] === 'function' ? options[key] : null;
  }

  // Programs -----------------------------------------------------------------

  vesk.exec = function (command, options) {
    return operation(function (op) {
      var output = '';
      var failed = false;
      var end = null;
      var onOutput = opt(options, 'onOutput');
      function piece(text) {
        output += text;
        if (onOutput && text) onOutput(text);
      }
      function result(extra) {
        var r = { id: id, output: output };
        Object.keys(extra).forEach(function (k) { r[k] = extra[k]; });
        if (end) { r.code = end.code; r.crashed = end.crashed; r.dropped = end.dropped; }
        return r;
      }
      var onFinish = op.name(function (text, code, crashed, dropped) {
        piece(text);
        end = { code: code, crashed: !!crashed, dropped: dropped || 0 };
        if (!failed) op.resolve(result({}));
      });
      var onProcess = onOutput ? op.name(piece) : '';
      var onError = op.name(function () {
        failed = true;
        // A crash or kill also reports the end right after: take its output first.
        setTimeout(function () {
          op.reject(result({ error_text: 'The program could not start, crashed or was killed' }));
        }, 0);
      });
      var run = options && options.oem ? app.execOEMCP : app._exec;
      var id = run.call(app, Array.isArray(command) ? command : String(command), onFinish, onProcess, onError);
      if (!id)
        op.reject({ id: 0, output: '', error_text: 'Not a command: give [program, arguments...] as strings, ' +
                    'the program not empty, none holding U+0000' });
      return { id: id, kill: function () { app.killExec(id); } };
    });
  };

  // Downloads -----------------------------------------------------------------

  vesk.download = function (url, path, options) {
    return operation(function (op) {
      var onProgress = opt(options, 'onProgress');
      var native = options && options.timeout !== undefined ? { timeout: options.timeout } : null;
      app._download(String(url), String(path),
                    op.name(function () { op.resolve(); }),
                    op.name(function (e) { op.reject(e); }),
                    onProgress ? op.name(onProgress) : '', native);
    });
  };

  // Thumbnails ------------------------------------------------------------------

  // A promise of the file: URL of a JPEG whose longer side is at most maxSide.
  vesk.thumbnail = function (src, maxSide) {
    return operation(function (op) {
      app._thumbnail(String(src), Number(maxSide) | 0,
                     op.name(function (url) { op.resolve(url); }),
                     op.name(function (e) { op.reject(e); }));
    });
  };

  // Frames and menus -----------------------------------------------------------

  vesk.iframeLoaded = function (name) {
    return operation(function (op) {
      app._iframeLoaded(String(name), op.name(function (ok) { op.resolve(ok); }));
    });
  };

  // Menu entries call their function for as long as the name holds them.
  var menuCallbacks = {};
  vesk.menuAction = function (name, text, onClick, icon, shortcut) {
    if (menuCallbacks[name]) release([menuCallbacks[name]]);
    var cb = typeof onClick === 'function' ? callback(onClick) : '';
    menuCallbacks[name] = cb;
    app._addMenuAction(name, text, cb, icon || '', shortcut || '');
  };

  // Notifications and the tray icon ------------------------------------------------

  // A promise of whether the notification was clicked (true) or closed unclicked
  // (false); rejects when there is no service and no tray icon to show it.
  vesk.notify = function (title, body, icon) {
    return operation(function (op) {
      var shown = app.notify(String(title), body === undefined ? '' : String(body), icon ? String(icon) : '',
                             op.name(function () { op.resolve(true); }),
                             op.name(function () { op.resolve(false); }));
      if (!shown)
        op.reject({ error_text: 'No notification service and no tray icon to show the notification' });
    });
  };

  // The tray icon's click and menu functions are kept until they are replaced.
  var trayCallbacks = { click: [], menu: [] };
  function trayNames(kind, names) {
    release(trayCallbacks[kind]);
    trayCallbacks[kind] = names;
  }
  vesk.trayIcon = function (icon, toolTip, onClick) {
    var cb = typeof onClick === 'function' ? callback(onClick) : '';
    var shown = app.setTrayIcon(String(icon), toolTip === undefined ? '' : String(toolTip), cb);
    trayNames('click', [cb]);
    return shown;
  };
  // Entries as for app.setTrayMenu, with functions for onClick.
  vesk.trayMenu = function (entries) {
    var names = [];
    var list = !Array.isArray(entries) ? entries : entries.map(function (e) {
      var entry = {};
      Object.keys(e || {}).forEach(function (k) { if (k !== 'onClick') entry[k] = e[k]; });
      if (e && typeof e.onClick === 'function') {
        entry.onClick = callback(e.onClick);
        names.push(entry.onClick);
      }
      return entry;
    });
    var accepted = app.setTrayMenu(list);
    if (accepted) trayNames('menu', names);
    else release(names);
    return accepted;
  };

  // Dropped files: one handler at a time, its callback released when replaced.
  var dropCallback = '';
  vesk.onFilesDropped = function (fn) {
    if (dropCallback) release([dropCallback]);
    dropCallback = typeof fn === 'function' ? callback(fn) : '';
    app.onFilesDropped(dropCallback);
  };

  // The close question: vesk asks vesk._exit() before the window closes. Here it
  // asks the page's onClose (given to vesk.onClose(fn), or set as vesk.onClose = fn)
  // and closes unless that returns false. A handler that throws does not keep the
  // window open: the user must always be able to close it.
  var askClose = typeof vesk.onClose === 'function' ? vesk.onClose : null;
  function closeQuestion() {
    var ask = vesk.onClose !== register && typeof vesk.onClose === 'function' ? vesk.onClose : askClose;
    if (!ask) return true;
    try {
      return ask() !== false;
    } catch (e) {
      if (global.console) console.error('vesk.onClose failed, closing anyway:', e);
      return true;
    }
  }
  function register(fn) {
    askClose = typeof fn === 'function' ? fn : null;
    vesk._exit = closeQuestion;
  }
  vesk.onClose = register;
  if (typeof vesk._exit !== 'function') vesk._exit = closeQuestion;

  // Later starts of a single-instance application: fn({arguments, workdir}).
  // True when this process receives them.
  var secondInstance = [], secondInstanceListening = null;
  vesk.onSecondInstance = function (fn) {
    if (typeof fn !== 'function') throw new TypeError('vesk.onSecondInstance needs a function');
    secondInstance.push(fn);
    if (secondInstanceListening === null) {
      var cb = callback(function (start) {
        secondInstance.forEach(function (f) {
          try { f(start); } catch (e) { if (global.console) console.error('vesk.onSecondInstance handler failed:', e); }
        });
      });
      secondInstanceListening = app.setSecondInstanceHandler(cb);
      // Nothing will ever call it: the name is not kept.
      if (!secondInstanceListening) release([cb]);
    }
    return secondInstanceListening;
  };

  // The start page is ready for a --screenshot-wait picture.
  vesk.ready = function () {
    if (global.app && typeof app.screenshotReady === 'function') app.screenshotReady();
  };

  // Settings that keep their types: JSON in the INI text. ------------------------

  vesk.settings = {
    // A value that is not JSON (written by app.setSettings) comes back as its text.
    get: function (key, fallback) {
      var text = app.getSettings(String(key));
      if (text === null || text === undefined) return fallback;
      if (typeof text !== 'string') return text;
      try { return JSON.parse(text); } catch (e) { return text; }
    },
    set: function (key, value) {
      var text = JSON.stringify(value === undefined ? null : toNative(value, 0));
      app.setSettings(String(key), text === undefined ? 'null' : text);
    }
  };

  // SQLite --------------------------------------------------------------------------

  // Every call settles at once; a failure rejects with the driver's own text.
  function Database(id) { this.id = id; }
  function dbResult(id, value) {
    var error = app.dbLastError(id);
    return error ? Promise.reject({ error_text: error }) : Promise.resolve(value);
  }
  function dbParams(params) { return params === undefined ? null : toNative(params, 0); }
  Database.prototype.query = function (sql, params) {
    return dbResult(this.id, app.dbQuery(String(sql), this.id, dbParams(params)));
  };
  Database.prototype.insert = function (sql, params) {
    return dbResult(this.id, app.dbInsert(String(sql), this.id, dbParams(params)));
  };
  // BEGIN, then fn(db)'s promise, then COMMIT; ROLLBACK when anything failed.
  Database.prototype.transaction = function (fn) {
    var db = this;
    return db.query('BEGIN').then(function () { return fn(db); }).then(function (value) {
      return db.query('COMMIT').then(function () { return value; });
    }, function (e) {
      return db.query('ROLLBACK').then(function () { throw e; }, function () { throw e; });
    });
  };
  Database.prototype.close = function () { app.dbClose(this.id); };
  vesk.db = {
    open: function (file, id) {
      id = id === undefined ? '' : String(id);
      app.dbConnect(String(file), id);
      return dbResult(id, new Database(id));
    }
  };

  // FTP ------------------------------------------------------------------------

  var localFailure = /\nCannot (read|write) the local file /;

  function FtpConnection(server, port, options) {
    var self = this;
    this.pending = [];
    this.onState = opt(options, 'onState');
    this.started = false;
    this.ended = false;
    this.stateCallback = callback(function (n, name) { self._state(n, name); });
    this.handle = app._ftpConnect(String(server), port === undefined ? 21 : port, this.stateCallback);
    if (!this.handle) release([this.stateCallback]);
  }

  FtpConnection.prototype._state = function (n, name) {
    var self = this;
    if (n !== 0) this.started = true;
    else if (this.started) this.ended = true;
    if (this.onState) this.onState(n, name);
    // A connection that drops takes its queued commands with it, without their callbacks.
    if (n === 0)
      setTimeout(function () {
        if (app.ftpState(self.handle) === 0)
          self._dropFrom(0, { error_code: 4, error_text: 'Not connected' });
      }, 0);
  };

  FtpConnection.prototype._dropFrom = function (index, error) {
    var dropped = this.pending.splice(index);
    dropped.forEach(function (op) { op.reject(error); });
  };

  // Queues one command: fn(ok, error, extraName) calls the app operation.
  FtpConnection.prototype._queue = function (fn, extras) {
    var self = this;
    if (!this.handle)
      return Promise.reject({ error_code: 4, error_text: 'Not connected: give a server and a port from 1 to 65535' });
    // A connection that has ended takes no more commands (the engine would drop them silently).
    if (this.ended) return Promise.reject({ error_code: 4, error_text: 'Not connected' });
    return operation(function (op) {
      var entries = [];
      var ok = op.name(function () {
        self._remove(op);
        op.resolve(extras && extras.list ? entries : undefined);
      });
      var error = op.name(function (e) {
        var at = self.pending.indexOf(op);
        self._remove(op);
        // The engine drops what was queued behind a failed command; the local file checks do not.
        if (at >= 0 && !localFailure.test(e.error_text))
          self._dropFrom(at, { error_code: e.error_code, error_text: 'Not run: an earlier command failed:\n' + e.error_text });
        op.reject(e);
      });
      var extra = '';
      if (extras && extras.list)
        extra = op.name(function (name, info) {
          entries.push({ name: name, info: info });
          if (extras.onEntry) extras.onEntry(name, info);
        });
      else if (extras && extras.onProgress)
        extra = op.name(extras.onProgress);
      self.pending.push(op);
      fn(ok, error, extra);
    });
  };

  FtpConnection.prototype._remove = function (op) {
    var at = this.pending.indexOf(op);
    if (at >= 0) this.pending.splice(at, 1);
  };

  FtpConnection.prototype.login = function (user, password) {
    var h = this.handle;
    return this._queue(function (ok, err) { app._ftpLogin(h, String(user), String(password), ok, err); });
  };
  FtpConnection.prototype.list = function (options) {
    var h = this.handle;
    return this._queue(function (ok, err, entry) { app._ftpList(h, ok, err, entry); },
                       { list: true, onEntry: opt(options, 'onEntry') });
  };
  ['cd', 'mkdir', 'rmdir', 'remove'].forEach(function (verb) {
    var slot = '_ftp' + verb.charAt(0).toUpperCase() + verb.slice(1);
    FtpConnection.prototype[verb] = function (name) {
      var h = this.handle;
      return this._queue(function (ok, err) { app[slot](h, String(name), ok, err); });
    };
  });
  FtpConnection.prototype.rename = function (from, to) {
    var h = this.handle;
    return this._queue(function (ok, err) { app._ftpRename(h, String(from), String(to), ok, err); });
  };
  FtpConnection.prototype.put = function (localFile, remoteName, options) {
    var h = this.handle;
    return this._queue(function (ok, err, progress) { app._ftpPut(h, String(localFile), String(remoteName), ok, err, progress); },
                       { onProgress: opt(options, 'onProgress') });
  };
  FtpConnection.prototype.get = function (remoteName, localFile, options) {
    var h = this.handle;
    return this._queue(function (ok, err, progress) { app._ftpGet(h, String(remoteName), String(localFile), ok, err, progress); },
                       { onProgress: opt(options, 'onProgress') });
  };
  FtpConnection.prototype.close = function () {
    var h = this.handle;
    return this._queue(function (ok, err) { app._ftpClose(h, ok, err); });
  };
  // The running command fails with "Operation aborted"; the ones behind it are dropped.
  FtpConnection.prototype.abort = function () {
    if (!this.handle) return;
    this._dropFrom(1, { error_code: 1, error_text: 'Not run: the connection was aborted' });
    app.ftpAbort(this.handle);
  };
  FtpConnection.prototype.state = function () {
    return app.ftpState(this.handle);
  };
  // The state callback stays until this is called: a connection reports for as long as it lives.
  FtpConnection.prototype.dispose = function () {
    release([this.stateCallback]);
    this.onState = null;
  };

  vesk.FtpConnection = FtpConnection;
  vesk.ftp = function (server, port, options) {
    return new FtpConnection(server, port, options);
  };

  // Plug-ins --------------------------------------------------------------------

  var knownPlugins = { KOUpdater: 'lkoupdater', KorvalenUploader: 'lkorvalen', VeskExample: 'lexample' };

  vesk.plugins = {
    // Resolves with the plug-in's object; rejects when nothing appeared.
    load: function (path, objectName) {
      path = String(path);
      var base = path.replace(/^.*[\/\\]/, '').replace(/\.(dll|so)$/i, '');
      var name = objectName || knownPlugins[base];
      var before = name ? null : Object.getOwnPropertyNames(global);
      app.loadPlugin(path);
      if (!name) {
        var seen = {};
        before.forEach(function (k) { seen[k] = true; });
        name = Object.getOwnPropertyNames(global).filter(function (k) { return !seen[k]; })[0];
      }
      var object = name ? global[name] : undefined;
      if (object && typeof object === 'object') return Promise.resolve(object);
      return Promise.reject({ error_text: 'No plug-in loaded from ' + path });
    }
  };

  function plugin(name, library) {
    if (global[name] && typeof global[name] === 'object') return Promise.resolve(global[name]);
    return vesk.plugins.load(library, name);
  }

  vesk.updater = {
    // Resolves with the import's result when its status is 'ok', rejects with it otherwise.
    importDictionary: function (pathDb, path) {
      return plugin('lkoupdater', 'libs/KOUpdater').then(function (updater) {
        return operation(function (op) {
          updater.updateData(String(pathDb), String(path), op.name(function (result) {
            if (result && result.status === 'ok') op.resolve(result);
            else op.reject(result || { status: 'unavailable', error_text: 'The import did not report' });
          }));
        });
      });
    }
  };
  vesk._plugin = plugin;

  // Uploader ---------------------------------------------------------------------

  // Rejections carry the uploader's error object ({error_type, error_code, error_text});
  // an error callback that brings none still rejects with an object.
  function uploaderCall(start) {
    return plugin('lkorvalen', 'libs/KorvalenUploader').then(function (uploader) {
      return operation(function (op) {
        var ok = op.name(function (result) { op.resolve(result); });
        var error = op.name(function (e) {
          op.reject(e || { error_type: 'login', error_code: '', error_text: 'The service refused the login' });
        });
        start(uploader, ok, error, op);
      });
    });
  }
  function progressName(op, options) {
    var onProgress = opt(options, 'onProgress');
    return onProgress ? op.name(onProgress) : '';
  }

  vesk.uploader = {
    login: function (clientId, clientKey, password) {
      return uploaderCall(function (u, ok, error) {
        u._login(String(clientId), String(clientKey), String(password), ok, error);
      });
    },
    uploadFile: function (file, meta, options) {
      return uploaderCall(function (u, ok, error, op) {
        u._uploadFile(String(file), meta === undefined ? null : meta, ok, error, progressName(op, options));
      });
    },
    checkReleases: function (releases) {
      return uploaderCall(function (u, ok, error) { u._checkReleases(String(releases), ok, error); });
    },
    uploadRelease: function (file, type, name, description, date, options) {
      return uploaderCall(function (u, ok, error, op) {
        u._uploadRelease(String(file), String(type), String(name), String(description), String(date), ok, error,
                         progressName(op, options));
      });
    },
    attachReleases: function (idPhoto, releases) {
      return uploaderCall(function (u, ok, error) { u._attachReleases(String(idPhoto), String(releases), ok, error); });
    },
    getEarnings: function (dateFrom, dateTo) {
      return uploaderCall(function (u, ok, error) { u._getEarnings(String(dateFrom), String(dateTo), ok, error); });
    }
  };
})(this);
