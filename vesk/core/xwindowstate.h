#pragma once

#include <QByteArray>
#include <QList>
#include <QRect>
#include <QString>

// The main window's remembered place: its normal geometry and whether it was
// maximised, kept as a small JSON file in the application's data folder. A file
// that is missing, too large, not JSON or holds anything unexpected leaves the
// state invalid, and the window opens as if nothing had been saved.
class XWindowState {
public:
    // Larger files are refused unread.
    static constexpr qint64 MaxFileSize = 64 * 1024;
    // What a side may be, as for the manifest's window size.
    static constexpr int MinSide = 100;
    static constexpr int MaxSide = 10000;
    // Positions further out than this are not a real desktop.
    static constexpr int MaxCoordinate = 100000;
    // How much of the window must lie on one screen for its position to count.
    static constexpr int MinVisible = 64;

    XWindowState() = default;
    XWindowState(const QRect &geometry, bool maximized);

    bool isValid() const { return m_valid; }
    QRect geometry() const { return m_geometry; }
    bool isMaximized() const { return m_maximized; }

    // False, with the state invalid, for anything but what toJson writes.
    bool parse(const QByteArray &json);
    QByteArray toJson() const;
    // A regular file only: not a FIFO or a device, which could block the start.
    bool load(const QString &file);
    // Written whole or not at all; the folder is made when missing.
    bool save(const QString &file) const;

    // Where the window goes, given the screens' available areas (the first is
    // the primary one). The size is cut to the screen it ends up on. A window
    // with too little of itself on every screen loses its position and is
    // centred on the primary screen (*positionKept false); one partly off a
    // screen is moved onto the screen it overlaps most. Without screens the
    // saved geometry is returned unchanged.
    QRect placedOn(const QList<QRect> &screens, bool *positionKept = nullptr) const;

private:
    QRect m_geometry;
    bool m_maximized = false;
    bool m_valid = false;
};
