#pragma once

#include <QMap>
#include <QObject>
#include <QPointer>
#include <QStringList>
#include <QVariant>

#include <functional>

#include "core/xdatabases.h"
#include "core/xhandletable.h"
#include "core/xwindowstyle.h"

class QFile;
class QWebFrame;
class QWidget;

class XDownloader;
class XFTP;
class XPageBinding;
class XProcess;
class XThumbnailer;
class XTrayIcon;
class XWebView;
class XWebWindow;

// The object every page sees as "app". One QObject, since its slots are the
// JavaScript contract; the definitions are split by concern across
// xjavascriptapi_<concern>.cpp.
class XJavaScriptAPI : public QObject {
    Q_OBJECT

public:
    // The binding publishes the object and owns it; through it the object finds
    // its frame, its view and the window it acts on.
    explicit XJavaScriptAPI(XPageBinding *binding);
    // Removes the temporary files that its pages made.
    ~XJavaScriptAPI() override;

    // From now on every new page binding gets an API object and a widget object.
    static void serveBindings();
    // What screenshotReady tells, with the window whose page called it; set by
    // the program when a screenshot waits for its page.
    using ReadyHandler = std::function<void(XWebWindow *window)>;
    static void setReadyHandler(const ReadyHandler &handler);
    // The API object of a window's page, or of the page a binding serves.
    static XJavaScriptAPI *of(const XPageBinding *binding);
    static XJavaScriptAPI *of(const XWebWindow *window);

    XWebWindow *window() const;
    QWebFrame *frame() const;
    // Every call back into the page goes here: evaluated only while the page's
    // document is trusted.
    void callBack(const QString &script);
    const XWindowStyle &style() const { return m_style; }

    // The busiest calls of the JavaScript contract, which pages reach through
    // XHotCalls: the engine walks all of an object's methods to find a slot on
    // every call, and a script cannot put a function of its own over a slot.
    // The bridge script makes them app's functions of the same names.
    QVariant _call(const QVariantList &vars, int leaveFirstVars = 0);
    void dbConnect(const QString &filename, const QString &id = QString());
    void dbClose(const QString &id = QString());
    QVariantList dbQuery(const QString &query, const QString &id = QString(), const QVariant &params = QVariant());
    // dbQuery's rows packed, as XHotCalls hands them to the bridge script.
    bool dbTable(const QString &query, const QString &id, const QVariant &params, XDatabases::Table *table);
    QVariant dbInsert(const QString &query, const QString &id = QString(), const QVariant &params = QVariant());
    QString dbLastError(const QString &id = QString());
    QVariant dbInsertMany(const QString &id, const QString &query, const QVariant &rows);

public Q_SLOTS:
    // Windows, pages and frames, window style (xjavascriptapi_window.cpp)
    int setActiveWindow(int window);
    int newTopWindow(const QString &url, const QString &name = QString());
    void alert(const QStringList &list);
    void alert(const QString &string);
    void load(const QString &file);
    void setWindowTitle(const QString &title);
    QString getWindowTitle();
    void setWindowMaximized(bool maximized);
    void setWindowMinimized(bool minimized);
    void showWindow();
    void hideWindow();
    void closeWindow();
    void setWindowWidth(int width);
    void setWindowHeight(int height);
    void setWindowSize(int width, int height);
    void setWindowIcon(const QString &file);
    void setWindowModal(bool modal);
    void setWindowPosition(int x, int y);
    int getWindowPositionX();
    int getWindowPositionY();
    int getWindowWidth();
    int getWindowHeight();
    bool isWindowModal();
    bool isWindowMaximized();
    bool isWindowMinimized();
    void centerWindowPosition(bool vertically, bool horizontally);
    void centerWindowPositionAccordingParent(bool vertically, bool horizontally);
    void setLocalOnly();
    void iframeFakeTop(const QString &id);
    void iframeAutoloadImages(const QString &id, bool enabled);
    void render();
    void reload();
    void _setOpeningWindowProperties(const QString &title, int width, int height);
    void selectInputFile(const QString &query, const QString &file = QString(), const QString &iframe = QString());
    void setWindowTypeWindow();
    void setWindowTypeDialog();
    void setWindowTypePopup();
    void setWindowTypeTool();
    void setWindowTypeSplashScreen();
    void setWindowHintFrameless(bool is);
    void setWindowHintShowCaption(bool show, bool isMinimize = true, bool isMaximize = true, bool isClose = true,
                                  bool isHelp = false);
    void setWindowHintOnTop(bool is);

    // Calls into pages (xjavascriptapi_bridge.cpp)
    QString _getWindowPointer(const QString &name);
    void js(const QString &string);

    // Programs (xjavascriptapi_processes.cpp)
    void exit(int code = 0);
    int _exec(const QVariant &command, const QString &onFinish = QString(), const QString &onProcess = QString(),
              const QString &onError = QString());
    int execOEMCP(const QVariant &command, const QString &onFinish = QString(), const QString &onProcess = QString(),
                  const QString &onError = QString());
    int wsystem(const QVariant &command);
    void killExec(int execId);
    void system(const QString &command);

    // Files and folders (xjavascriptapi_files.cpp)
    QString openFile(const QString &title, const QString &fileTypes, const QString &path = QString());
    QStringList openFiles(const QString &title, const QString &fileTypes, const QString &path = QString());
    QString openNewFile(const QString &title, const QString &fileTypes, const QString &path = QString());
    QString openDir(const QString &title, const QString &path = QString());
    QString getDirTemp();
    QString getDirHome();
    QString getDirDocuments();
    QString getDirAppData();
    QString getDirCurrent();
    QString getDirDesktop();
    QString getDirDownload();
    QString getDirFonts();
    QString getDirMovies();
    QString getDirMusic();
    QString getDirPictures();
    void setAppName(const QString &name);
    QString tempFile(const QString &append);
    int fopen(const QString &file, const QString &mode);
    void fclose(int fileId);
    QString fileread(const QString &file);
    bool filewrite(const QString &file, const QString &content);
    bool fileappend(const QString &file, const QString &content);
    QString fread(int fileId, int bytes);
    QString fgets(int fileId, int bytes);
    qint64 fwrite(int fileId, const QString &data);
    qint64 fwriteln(int fileId, const QString &data);
    bool mkdir(const QString &dir, bool recursive = false);
    bool mkfile(const QString &file);
    bool copy(const QString &src, const QString &dst);
    bool rename(const QString &src, const QString &dst);
    bool unlink(const QString &file);
    bool copydir(const QString &src, const QString &dst);
    bool rmdir(const QString &dir);
    bool fileExists(const QString &src);
    bool dirExists(const QString &src);
    qint64 filesize(const QString &src);
    qint64 filectime(const QString &src);
    qint64 fileatime(const QString &src);
    QVariantMap dirContent(const QString &path);
    void exploreDir(const QString &path);

    // System utilities (xjavascriptapi_system.cpp)
    QString getClipboard();
    void setClipboard(const QString &value);
    int getOEMCP();
    int getScreenWidth();
    int getScreenHeight();
    QString getSystemLocale();
    void enableTaskbarProgress();
    void setTaskbarProgressType(int type);
    void setTaskbarProgressValue(float value);
    QString md5(const QString &text);
    QString md5hex(const QString &text);
    QString fileMd5hex(const QString &filename);
    QString sha1(const QString &text);
    QString sha1hex(const QString &text);
    qint64 freespace(const QString &disk);
    qint64 totalspace(const QString &disk);
    qint64 time();
    qint64 mktime(int hours, int minutes, int seconds, int month, int day, int year);
    QString date(const QString &format, qint64 time = -1);
    void openBrowser(const QString &url);
    bool openUrl(const QString &url);
    QString getMacAddress();
    QStringList getArguments();
    QVariant getEnv(const QString &name);
    // The page is ready for the picture a --screenshot-wait run takes.
    void screenshotReady();

    // Plug-ins (xjavascriptapi_plugins.cpp)
    void loadPlugin(const QString &path);

    // Menus and dialogs (xjavascriptapi_menus.cpp)
    void switchMenu(const QString &name = QString());
    void addMenu(const QString &name, const QString &text, const QString &icon = QString());
    void _addMenuAction(const QString &name, const QString &text, const QString &onClick = QString(),
                        const QString &icon = QString(), const QString &shortcut = QString());
    void addMenuSeparator(const QString &name);
    void removeMenuAction(const QString &name);
    void clearMenu();
    void enableMenu();
    void disableMenu();
    void enableMenuAction(const QString &name);
    void disableMenuAction(const QString &name);
    void showMenuAction(const QString &name);
    void hideMenuAction(const QString &name);
    QString prompt(const QString &txt, const QString &title = QString(), const QString &defaultValue = QString(),
                   const QString &type = QStringLiteral("text"));
    void info(const QString &txt, const QString &title = QString());
    bool confirm(const QString &txt, const QString &title = QString(), const QString &yes = QStringLiteral("Yes"),
                 const QString &no = QStringLiteral("No"));

    // Registry, settings and databases (xjavascriptapi_storage.cpp)
    void regSet(const QString &path, const QString &key, const QVariant &value);
    bool regIsSet(const QString &path, const QString &key);
    QVariant regGet(const QString &path, const QString &key, const QVariant &defaultValue = QString(""));
    void regDelete(const QString &path, const QString &key);
    QStringList regAllKeys(const QString &path);
    QStringList regKeys(const QString &path);
    QStringList regGroups(const QString &path);
    QVariant getSettings(const QString &key, const QVariant &defaultValue = QVariant());
    void setSettings(const QString &key, const QVariant &value);

    // Thumbnails (xjavascriptapi_thumbnails.cpp)
    void _thumbnail(const QString &src, int maxSide, const QString &onDone, const QString &onError = QString());

    // FTP (xjavascriptapi_ftp.cpp)
    int _ftpConnect(const QString &server, int port = 21, const QString &callback_state = QString());
    void _ftpLogin(int pftp, const QString &username, const QString &password, const QString &callback_ok = QString(),
                   const QString &callback_error = QString());
    void _ftpClose(int pftp, const QString &callback_ok = QString(), const QString &callback_error = QString());
    void _ftpList(int pftp, const QString &callback_ok = QString(), const QString &callback_error = QString(),
                  const QString &callback_list = QString());
    void _ftpCd(int pftp, const QString &dir, const QString &callback_ok = QString(),
                const QString &callback_error = QString());
    void _ftpMkdir(int pftp, const QString &dir, const QString &callback_ok = QString(),
                   const QString &callback_error = QString());
    void _ftpRemove(int pftp, const QString &file, const QString &callback_ok = QString(),
                    const QString &callback_error = QString());
    void _ftpRmdir(int pftp, const QString &dir, const QString &callback_ok = QString(),
                   const QString &callback_error = QString());
    void _ftpRename(int pftp, const QString &src, const QString &dst, const QString &callback_ok = QString(),
                    const QString &callback_error = QString());
    void _ftpPut(int pftp, const QString &src, const QString &dst, const QString &callback_ok = QString(),
                 const QString &callback_error = QString(), const QString &callback_process = QString());
    void _ftpGet(int pftp, const QString &src, const QString &dst, const QString &callback_ok = QString(),
                 const QString &callback_error = QString(), const QString &callback_process = QString());
    void ftpAbort(int pftp);
    int ftpState(int pftp);

    // Downloads and cookies (xjavascriptapi_network.cpp)
    void _download(const QString &url, const QString &path, const QString &func_pointer,
                   const QString &func_pointer_err, const QString &func_progress = QString(),
                   const QVariant &options = QVariant());
    QVariantList getAllCookies();
    void setAllCookies(const QVariant &cookies);

    // Widgets and frames loading (xjavascriptapi_widgets.cpp)
    int createWidgetIframe(const QString &file, int w = 100, int h = 100, bool isTransparent = false);
    void switchWidget(int widgetId);
    void _iframeLoaded(const QString &id, const QString &ptr);

    // Single instance (xjavascriptapi_instance.cpp)
    // callback({arguments, workdir}) for each later start of the application;
    // true when this process receives them (the manifest asks for one instance).
    bool setSecondInstanceHandler(const QString &callback);

    // Notifications, tray icon (xjavascriptapi_desktop.cpp)
    bool notify(const QString &title, const QString &body = QString(), const QString &icon = QString(),
                const QString &onClick = QString(), const QString &onClose = QString());
    bool setTrayIcon(const QString &icon, const QString &toolTip = QString(), const QString &onClick = QString());
    bool setTrayMenu(const QVariant &entries);
    void removeTrayIcon();
    bool isTrayAvailable();
    // Dropped files (xjavascriptapi_drop.cpp)
    // The page function named gets the local paths of files dropped on this
    // page's view, for as long as the document lasts; an empty name gives drops
    // back to the engine.
    void onFilesDropped(const QString &callback);

private Q_SLOTS:
    // Frames reported by _iframeLoaded; not for pages.
    void onIframeLoaded(bool ok);
    void onIframeUrlChanged();

private:
    XWebWindow *activeWindow() const;
    XWebView *view() const;
    QWidget *owner() const;
    QWebFrame *childFrame(const QString &name) const;
    void setWindowType(int type);
    void applyStyle();
    void showInfo(const QString &text);

    XPageBinding *m_binding = nullptr;
    XWindowStyle m_style;
    QMap<QString, QPointer<XWebWindow>> m_namedWindows;
    bool m_wasMaximized = false;
    XHandleTable<XWebWindow> m_windows;
    int m_activeWindowId = 0;

    // Menus, dialogs, registry, settings and databases
    XDatabases m_databases;
    // FTP: connections are children of this object and end with it, or sooner:
    // one that has ended and reported everything is freed, and its handle is
    // answered by a fresh unconnected engine, as a closed connection would answer.
    XFTP *ftp(int pftp);
    // Under *handle when it names one, else under a new handle put there.
    XFTP *makeConnection(int *handle);
    XHandleTable<XFTP> m_ftp;
    // Files, processes and system utilities
    int startProcess(const QStringList &program, const QString &onFinish, const QString &onProcess,
                     const QString &onError);
    int startCommand(const QVariant &command, bool latin1, const QString &onFinish, const QString &onProcess,
                     const QString &onError);
    QFile *openFileOf(int fileId) const;
    QStringList m_tempFiles;
    XHandleTable<QFile> m_openFiles;
    XHandleTable<XProcess> m_processes;
    // Downloads, cookies and widgets
    XDownloader *downloader();
    XDownloader *m_downloader = nullptr;
    // Thumbnails: made on the first request, a child of this object
    XThumbnailer *m_thumbnailer = nullptr;
    QString m_secondInstanceHandler;
    bool m_secondInstanceWired = false;

    // Notifications and the tray icon: the callbacks of the notifications still
    // open, the oldest dropped beyond the notifier's limit.
    struct NotificationCallbacks {
        QString onClick;
        QString onClose;
    };
    void notificationEnded(uint id, bool clicked);
    void watchNotifications();
    QMap<uint, NotificationCallbacks> m_notifications;
    bool m_watchingNotifications = false;
    XTrayIcon *m_trayIcon = nullptr;
    // Dropped files: takes the handler back when the document goes
    QMetaObject::Connection m_dropReset;
};
