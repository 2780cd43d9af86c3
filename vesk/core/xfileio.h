#pragma once

#include <QByteArray>
#include <QIODevice>
#include <QString>

class QFileDevice;

// File reads and writes as pages make them: regular files only, reads bounded by
// XByteForm::kPageTextCeiling, and writes that land whole or say that they did not.
class XFileIO {
public:
    // The whole file in text mode (CR dropped as the text read of the I/O library
    // does), cut at the first zero byte and decoded as UTF-8. False when it is not
    // a regular file, cannot be read or holds more than the ceiling.
    static bool readText(const QString &path, QString *text);

    // Up to bytes from the current position, never more than the ceiling; memory
    // grows with what is read, not with the count asked for.
    static QByteArray read(QIODevice *device, qint64 bytes);
    // One line with its LF, at most maxSize - 1 bytes (maxSize 0: no limit), never
    // more than the ceiling; a longer line comes in pieces.
    static QByteArray readLine(QIODevice *device, qint64 maxSize);

    // Replaces the file's content with data (text mode) through a temporary file
    // in the same folder, so the old content stays unless every byte was written.
    // Refuses a path that exists and is not a regular file.
    static bool replace(const QString &path, const QByteArray &data);
    // Appends data (text mode) whole; a short write is cut off again, leaving the
    // file as it was.
    static bool append(const QString &path, const QByteArray &data);
    // Writes data to an unbuffered file; the number of bytes that reached it.
    static qint64 write(QFileDevice *file, const QByteArray &data);
};
