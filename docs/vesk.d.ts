// Type declarations for vesk pages: `app`, `widget`, the plug-in objects `lkoupdater`
// and `lkorvalen`, and vesk.js (`vesk`). Reference: docs/api.md, docs/vesk-js.md.
// Use: /// <reference path="vesk.d.ts" /> with "target": "ES2015" (Qt WebKit 5.212 has
// no async/await: TypeScript compiles them to generators only from ES2015 up).

declare namespace VeskApi {
  /** A value that crosses to native code: no `undefined`, no `NaN`. */
  type Value = string | number | boolean | null | Value[] | { [key: string]: Value };
  /** The name of a global function (or any expression giving one), called when work ends. */
  type CallbackName = string;

  interface DirContent { files: string[]; dirs: string[]; }

  interface FtpEntryInfo {
    permissions: number; owner: string; group: string; size: number;
    is_dir: boolean; is_file: boolean; is_symlink: boolean;
    /** Spelt so. */
    is_writeble: boolean; is_readable: boolean; is_executable: boolean;
  }
  interface FtpError { error_code: number; error_text: string; }
  interface DownloadError { http_status: number; error_text: string; }
  // timeout: seconds without data from the server before the download fails (default 120).
  interface DownloadOptions { timeout?: number; }

  interface CookieRecord {
    domain: string; path: string; name: string;
    value64?: string; value?: string;
    http_only: '0' | '1' | string; secure: '0' | '1' | string;
    session?: '0' | '1' | string;
    expiration: string | number;
  }

  /** A tray menu entry: the menus' entry form; a separator ignores the rest. */
  interface TrayMenuEntry {
    text?: string; onClick?: CallbackName; icon?: string; separator?: boolean; enabled?: boolean;
  }
  /** As TrayMenuEntry, with a function to call. */
  interface TrayMenuItem {
    text?: string; onClick?: () => void; icon?: string; separator?: boolean; enabled?: boolean;
  }

  /** FTP states: 0 Unconnected, 1 Host Lookup, 2 Connecting, 3 Connected, 4 Login, 5 Closing. */
  type FtpState = 0 | 1 | 2 | 3 | 4 | 5;

  /** The API object of a window (`app`). Window operations act on the active window. */
  interface App {
    // Calling page functions
    call(name: string, ...args: Value[]): void;
    callWindow(window: string, name: string, ...args: Value[]): any;
    getWindow(window: string): App;
    callParentWindow(name: string, ...args: Value[]): any;
    getParentWindow(): App;
    _call(list: Value[], skip?: number): any;

    // Windows
    newTopWindow(url: string, name?: string): number;
    setActiveWindow(id: number): number;
    setWindowTitle(title: string): void;
    getWindowTitle(): string;
    setWindowSize(width: number, height: number): void;
    setWindowWidth(width: number): void;
    setWindowHeight(height: number): void;
    getWindowWidth(): number;
    getWindowHeight(): number;
    setWindowPosition(x: number, y: number): void;
    getWindowPositionX(): number;
    getWindowPositionY(): number;
    centerWindowPosition(vertically: boolean, horizontally: boolean): void;
    centerWindowPositionAccordingParent(vertically: boolean, horizontally: boolean): void;
    setWindowMaximized(maximized: boolean): void;
    setWindowMinimized(minimized: boolean): void;
    isWindowMaximized(): boolean;
    isWindowMinimized(): boolean;
    isWindowModal(): boolean;
    setWindowModal(modal: boolean): void;
    showWindow(): void;
    hideWindow(): void;
    closeWindow(): void;
    setWindowIcon(file: string): void;
    reload(): void;
    render(): void;
    js(text: string): void;
    alert(text: string | string[]): void;
    /** Ends the program with `code` (0) once the current script returns. */
    exit(code?: number): void;
    /** Does nothing; kept for old pages. */
    load(file: string): void;

    // Window style
    setWindowTypeWindow(): void;
    setWindowTypeDialog(): void;
    setWindowTypePopup(): void;
    setWindowTypeTool(): void;
    setWindowTypeSplashScreen(): void;
    setWindowHintShowCaption(title: boolean, min?: boolean, max?: boolean, close?: boolean, help?: boolean): void;
    setWindowHintFrameless(frameless: boolean): void;
    setWindowHintOnTop(onTop: boolean): void;

    // Pages, frames and popups
    setLocalOnly(): void;
    selectInputFile(selector: string, file?: string, iframe?: string): void;
    iframeAutoloadImages(name: string, enabled: boolean): void;
    iframeFakeTop(name: string): void;
    _setOpeningWindowProperties(title: string, width: number, height: number): void;

    // Dropped files: the named function gets the local paths; '' stops it.
    onFilesDropped(callback: CallbackName): void;

    // Menus
    addMenu(name: string, text: string, icon?: string): void;
    switchMenu(name?: string): void;
    _addMenuAction(name: string, text: string, onClick?: CallbackName, icon?: string, shortcut?: string): void;
    addMenuSeparator(name: string): void;
    removeMenuAction(name: string): void;
    hideMenuAction(name: string): void;
    showMenuAction(name: string): void;
    disableMenuAction(name: string): void;
    enableMenuAction(name: string): void;
    disableMenu(): void;
    enableMenu(): void;
    clearMenu(): void;

    // Dialogs
    prompt(text: string, title?: string, defaultValue?: string,
           type?: 'int' | 'double' | 'textarea' | 'password' | string): string;
    info(text: string, title?: string): void;
    confirm(text: string, title?: string, yes?: string, no?: string): boolean;

    // Registry, settings, SQLite
    regSet(path: string, key: string, value: Value): void;
    regGet(path: string, key: string, defaultValue?: Value): any;
    regIsSet(path: string, key: string): boolean;
    regDelete(path: string, key: string): void;
    regAllKeys(path: string): string[];
    regKeys(path: string): string[];
    regGroups(path: string): string[];
    /** `null` for a missing key without default. config.ini holds text: after a restart numbers and
     *  booleans come back as strings (160 as "160", false as "false"), lists as lists of strings;
     *  vesk.settings keeps types. */
    getSettings(key: string, defaultValue?: Value): any;
    setSettings(key: string, value: Value): void;
    dbConnect(file: string, id?: string): void;
    dbQuery(sql: string, id?: string, params?: Value[] | { [name: string]: Value }): Array<{ [column: string]: any }>;
    /** The new row id; `null` when nothing was inserted; 0 for an unknown id. */
    dbInsert(sql: string, id?: string, params?: Value[] | { [name: string]: Value }): number | null;
    dbInsertMany(id: string, sql: string, rows: (Value[] | { [name: string]: Value })[]): number | null;
    dbClose(id?: string): void;
    /** The driver's text for the last failed connect, query or insert of `id`; "" after one that worked. */
    dbLastError(id?: string): string;

    // Plug-ins
    loadPlugin(path: string): void;

    // FTP
    /** A handle (1, 2, …), 0 for an empty server or a port outside 1–65535. */
    _ftpConnect(server: string, port?: number, stateCallback?: CallbackName): number;
    _ftpLogin(h: number, user: string, password: string, ok?: CallbackName, error?: CallbackName): void;
    _ftpList(h: number, ok?: CallbackName, error?: CallbackName, entry?: CallbackName): void;
    _ftpCd(h: number, dir: string, ok?: CallbackName, error?: CallbackName): void;
    _ftpMkdir(h: number, dir: string, ok?: CallbackName, error?: CallbackName): void;
    _ftpRmdir(h: number, dir: string, ok?: CallbackName, error?: CallbackName): void;
    _ftpRemove(h: number, file: string, ok?: CallbackName, error?: CallbackName): void;
    _ftpRename(h: number, from: string, to: string, ok?: CallbackName, error?: CallbackName): void;
    _ftpPut(h: number, localFile: string, remoteName: string, ok?: CallbackName, error?: CallbackName,
            progress?: CallbackName): void;
    _ftpGet(h: number, remoteName: string, localFile: string, ok?: CallbackName, error?: CallbackName,
            progress?: CallbackName): void;
    _ftpClose(h: number, ok?: CallbackName, error?: CallbackName): void;
    ftpAbort(h: number): void;
    /** The state number, -1 for an unknown handle. */
    ftpState(h: number): FtpState | -1;

    // Files and folders
    openFile(title: string, filter: string, dir?: string): string;
    openFiles(title: string, filter: string, dir?: string): string[];
    openNewFile(title: string, filter: string, dir?: string): string;
    openDir(title: string, dir?: string): string;
    getDirTemp(): string;
    getDirHome(): string;
    getDirCurrent(): string;
    getDirDocuments(): string;
    getDirAppData(): string;
    getDirDesktop(): string;
    getDirDownload(): string;
    getDirFonts(): string;
    getDirMovies(): string;
    getDirMusic(): string;
    getDirPictures(): string;
    setAppName(name: string): void;
    exploreDir(path: string): void;
    fileread(path: string): string;
    /** false, leaving the file as it was, when it could not be written whole. */
    filewrite(path: string, text: string): boolean;
    fileappend(path: string, text: string): boolean;
    mkfile(path: string): boolean;
    copy(src: string, dst: string): boolean;
    rename(src: string, dst: string): boolean;
    unlink(path: string): boolean;
    mkdir(path: string, recursive?: boolean): boolean;
    fileExists(path: string): boolean;
    dirExists(path: string): boolean;
    filesize(path: string): number;
    filectime(path: string): number;
    fileatime(path: string): number;
    dirContent(path: string): DirContent;
    tempFile(suffix: string): string;
    rmdir(path: string): boolean;
    copydir(src: string, dst: string): boolean;
    /** A file id, 0 on failure. */
    fopen(path: string, mode: 'r' | 'w' | 'a' | 'rb' | 'wb' | 'ab'): number;
    fclose(id: number): void;
    fread(id: number, n: number): string;
    fgets(id: number, n: number): string;
    /** Bytes written: fewer when the disk is full; -1 for an unknown id. */
    fwrite(id: number, text: string): number;
    fwriteln(id: number, text: string): number;

    // Programs
    /** Starts `command` and returns its exec id. onFinish(text, code, crashed, dropped), onProcess(text),
     *  onError(). */
    /** `command`: [program, ...arguments] as they are (0 for a bad array), or a string split at blanks. */
    _exec(command: string[] | string | number | boolean, onFinish?: CallbackName, onProcess?: CallbackName,
          onError?: CallbackName): number;
    execOEMCP(command: string[] | string | number | boolean, onFinish?: CallbackName, onProcess?: CallbackName,
              onError?: CallbackName): number;
    killExec(id: number): void;
    /** Always 0. */
    wsystem(command: string): number;
    system(command: string): void;

    // System utilities
    getClipboard(): string;
    setClipboard(text: string): void;
    getScreenWidth(): number;
    getScreenHeight(): number;
    getSystemLocale(): string;
    getOEMCP(): number;
    md5(text: string): string;
    sha1(text: string): string;
    md5hex(text: string): string;
    sha1hex(text: string): string;
    fileMd5hex(path: string): string;
    freespace(disk: string): number;
    totalspace(disk: string): number;
    time(): number;
    mktime(h: number, m: number, s: number, month: number, day: number, year: number): number;
    date(format: string, seconds?: number): string;
    openBrowser(url: string): void;
    openUrl(url: string): boolean;
    getMacAddress(): string;
    /** What followed `--` on vesk's command line. */
    getArguments(): string[];
    /** null when the variable is not set. */
    getEnv(name: string): string | null;
    /** The page is ready for a --screenshot-wait picture. */
    screenshotReady(): void;
    /** callback({arguments, workdir}) on each later start; true when this process receives them. */
    setSecondInstanceHandler(callback: CallbackName): boolean;
    enableTaskbarProgress(): void;
    setTaskbarProgressType(type: number): void;
    setTaskbarProgressValue(fraction: number): void;

    // Notifications and the tray icon
    /** false when neither the notification service nor a tray icon could show it. */
    notify(title: string, body?: string, icon?: string, onClick?: CallbackName, onClose?: CallbackName): boolean;
    /** false when the icon is not an image, or there is no tray (the icon is kept for one that appears). */
    setTrayIcon(icon: string, toolTip?: string, onClick?: CallbackName): boolean;
    /** false without a tray icon, or for a list that is not one of entries (at most 256). */
    setTrayMenu(entries: TrayMenuEntry[]): boolean;
    removeTrayIcon(): void;
    isTrayAvailable(): boolean;

    // Downloads, cookies, widgets
    /** ok(), err({http_status, error_text}), progress(bytesReceived, bytesTotal). */
    _download(url: string, path: string, ok: CallbackName, err: CallbackName, progress?: CallbackName,
              options?: DownloadOptions | null): void;
    /** done(fileUrl), err({error_code, error_text}); runs on a worker thread. */
    _thumbnail(src: string, maxSide: number, done: CallbackName, err?: CallbackName): void;
    getAllCookies(): CookieRecord[];
    setAllCookies(records: Partial<CookieRecord>[]): void;
    createWidgetIframe(file: string, width?: number, height?: number, transparent?: boolean): number;
    switchWidget(id: number): void;
    /** callback(ok: boolean) when the child frame `name` has loaded. */
    _iframeLoaded(name: string, callback: CallbackName): void;
  }

  /** Places the widget chosen by `app.switchWidget`. */
  interface Widget {
    show(): void;
    hide(): void;
    setWidth(w: number): void;
    setHeight(h: number): void;
    setSize(w: number, h: number): void;
    getWidth(): number;
    getHeight(): number;
    getX(): number;
    getY(): number;
    setX(x: number): void;
    setY(y: number): void;
    setPosition(x: number, y: number): void;
    remove(): void;
  }

  interface ImportResult {
    status: 'ok' | 'rolled back' | 'not a dictionary' | 'unreadable' | 'unavailable';
    records: number; inserted: number; updated: number; confirmed: number; deleted: number;
    skipped: number; seconds: number; error_text: string;
  }

  /** `lkoupdater`, after `app.loadPlugin('libs/KOUpdater')`. */
  interface KOUpdater {
    hello(): void;
    /** callback(result: ImportResult) once the import is over. */
    updateData(pathDb: string, path: string, callback: CallbackName): void;
    finished(): void;
  }

  /** What the uploader's error callbacks get. */
  /** error_type 'xmlrpc' (a fault code such as -32300), 'app' (the service's status, or 122 to 128) or 'db'. */
  interface UploaderError { error_type: 'xmlrpc' | 'app' | 'db'; error_code: string | number; error_text: string; }
  /** One restriction set; missing values take the defaults (docs/uploader.md). */
  interface UploaderRestrictions {
    exts: string[]; max_size: number; max_mpx: number; min_mpx: number;
    min_w: number; min_h: number; max_r: number; q: number;
  }
  interface UploaderSets { photo: UploaderRestrictions; release: UploaderRestrictions; }
  interface PhotoMeta { title?: string; desc?: string; keywords?: string[]; }

  /** `lkorvalen`, after `app.loadPlugin('libs/KorvalenUploader')`. Results arrive through the callbacks. */
  interface KorvalenUploader {
    /** Shows the alert "Korvalen uploader works". */
    hello(): void;
    /** Signs in: ok(sets: UploaderSets), error(e: UploaderError). */
    _login(clientId: string, clientKey: string, password: string, ok: CallbackName, error: CallbackName): void;
    /** Four parts: progress(n, 4) after each, then ok(responseText: string). */
    _uploadFile(file: string, meta: PhotoMeta, ok: CallbackName, error: CallbackName, progress: CallbackName): void;
    _checkReleases(releases: string, ok: CallbackName, error: CallbackName): void;
    _uploadRelease(file: string, type: string, name: string, description: string, date: string, ok: CallbackName,
                   error: CallbackName, progress: CallbackName): void;
    _attachReleases(idPhoto: string, releases: string, ok: CallbackName, error: CallbackName): void;
    /** ok() without arguments once the catalog is updated. */
    _getEarnings(dateFrom: string, dateTo: string, ok: CallbackName, error: CallbackName): void;
    /** Does nothing: calls in flight run to their end. */
    abort(): void;
    /** Does nothing. */
    close(): void;
  }

  interface UploadOptions { onProgress?: (part: number, parts: number) => void; }

  /** vesk.uploader: the uploader's operations as promises rejecting with UploaderError. */
  interface Uploader {
    login(clientId: string, clientKey: string, password: string): Promise<UploaderSets>;
    uploadFile(file: string, meta: PhotoMeta, options?: UploadOptions): Promise<string>;
    /** The answer's output list as it came. */
    checkReleases(releases: string): Promise<any[]>;
    uploadRelease(file: string, type: string, name: string, description: string, date: string,
                  options?: UploadOptions): Promise<string>;
    attachReleases(idPhoto: string, releases: string): Promise<any>;
    getEarnings(dateFrom: string, dateTo: string): Promise<void>;
  }

  // vesk.js

  /** code: the exit code (for a crash the signal number on Linux); dropped: bytes of output over the ceiling. */
  interface ExecResult { id: number; output: string; code: number; crashed: boolean; dropped: number; }
  /** code, crashed and dropped are there when the program had started and ended. */
  interface ExecError { id: number; output: string; error_text: string; code?: number; crashed?: boolean;
                        dropped?: number; }
  interface ExecPromise extends Promise<ExecResult> { id: number; kill(): void; }
  interface ExecOptions { onOutput?: (text: string) => void; oem?: boolean; }
  interface ProgressOptions { onProgress?: (done: number, total: number) => void; }
  interface FtpListEntry { name: string; info: FtpEntryInfo; }

  interface FtpConnection {
    readonly handle: number;
    login(user: string, password: string): Promise<void>;
    list(options?: { onEntry?: (name: string, info: FtpEntryInfo) => void }): Promise<FtpListEntry[]>;
    cd(dir: string): Promise<void>;
    mkdir(dir: string): Promise<void>;
    rmdir(dir: string): Promise<void>;
    remove(file: string): Promise<void>;
    rename(from: string, to: string): Promise<void>;
    put(localFile: string, remoteName: string, options?: ProgressOptions): Promise<void>;
    get(remoteName: string, localFile: string, options?: ProgressOptions): Promise<void>;
    close(): Promise<void>;
    abort(): void;
    state(): FtpState | -1;
    dispose(): void;
  }

  interface DbError { error_text: string; }
  /** A connection of vesk.db: every promise rejects with DbError, the driver's text. */
  interface Database {
    readonly id: string;
    query(sql: string, params?: Value[] | { [name: string]: any }): Promise<Array<{ [column: string]: any }>>;
    /** The new row id; null when nothing was inserted. */
    insert(sql: string, params?: Value[] | { [name: string]: any }): Promise<number | null>;
    /** BEGIN, fn's promise, COMMIT; ROLLBACK and the same rejection when anything failed. */
    transaction<T>(fn: (db: Database) => Promise<T> | T): Promise<T>;
    close(): void;
  }

  interface Operation<T> {
    name(fn: (...args: any[]) => void): CallbackName;
    resolve(value?: T): void;
    reject(error: any): void;
    settled(): boolean;
  }

  /** The global `vesk` of vesk.js; `_exit` is the close question. */
  interface VeskJs {
    readonly version: string;
    /** Defined by vesk.js: closes unless the onClose handler returns false. */
    _exit?: () => boolean | void;
    /** Registers the close handler; assigning a function to onClose works too. */
    onClose(ask: () => boolean | void): void;
    /** Tells a --screenshot-wait run that the page is ready. */
    ready(): void;
    /** Later starts of a single-instance application; true when this process receives them. */
    onSecondInstance(handler: (start: { arguments: string[]; workdir: string }) => void): boolean;
    /** Settings as JSON text in config.ini, so they keep their types across restarts. */
    settings: {
      get<T = any>(key: string, fallback?: T): T;
      set(key: string, value: any): void;
    };
    db: {
      open(file: string, id?: string): Promise<Database>;
    };
    /** A bad array rejects at once with id 0. */
    exec(command: string | string[], options?: ExecOptions): ExecPromise;
    download(url: string, path: string, options?: ProgressOptions & DownloadOptions): Promise<void>;
    ftp(server: string, port?: number, options?: { onState?: (state: FtpState, name: string) => void }): FtpConnection;
    iframeLoaded(name: string): Promise<boolean>;
    thumbnail(src: string, maxSide: number): Promise<string>;
    menuAction(name: string, text: string, onClick: () => void, icon?: string, shortcut?: string): void;
    /** true when clicked, false when closed unclicked; rejects with {error_text} when nothing could show it. */
    notify(title: string, body?: string, icon?: string): Promise<boolean>;
    trayIcon(icon: string, toolTip?: string, onClick?: () => void): boolean;
    trayMenu(entries: TrayMenuItem[]): boolean;
    /** Local paths of files dropped on the window, outside file inputs; null gives drops back to the engine. */
    onFilesDropped(handler: ((paths: string[]) => void) | null): void;
    plugins: {
      load(path: string, objectName?: string): Promise<any>;
    };
    /** Rejects with the ImportResult when its status is not 'ok'. */
    updater: {
      importDictionary(pathDb: string, path: string): Promise<ImportResult>;
    };
    uploader: Uploader;
    operation<T>(start: (op: Operation<T>) => object | void): Promise<T>;
    callback(fn: (...args: any[]) => void): CallbackName;
    release(name: CallbackName): void;
    liveCallbacks(): string[];
    /** Date to its ISO text, typed arrays and ArrayBuffers to plain arrays, at any depth. */
    toNative(value: any): Value;
    /** As app.call, app.callWindow and app.callParentWindow, with arguments through toNative. */
    call(name: string, ...args: any[]): any;
    callWindow(window: string, name: string, ...args: any[]): any;
    callParentWindow(name: string, ...args: any[]): any;
  }
}

declare var app: VeskApi.App;
declare var widget: VeskApi.Widget;
/** Present after `app.loadPlugin('libs/KOUpdater')`. */
declare var lkoupdater: VeskApi.KOUpdater;
/** Present after `app.loadPlugin('libs/KorvalenUploader')`. */
declare var lkorvalen: VeskApi.KorvalenUploader;
declare var vesk: VeskApi.VeskJs;
