#pragma once

#include <QString>
#include <QVariant>
#include <QtGlobal>
#include <array>
#include <optional>

class QIODevice;

namespace tarnvue {

// The file and product version numbers of a file, read from its fixed
// version record: 52 bytes, thirteen little-endian 32-bit words in the shape
// of a Windows VS_FIXEDFILEINFO, starting with the signature 0xFEEF04BD and
// the structure version 0x00010000. The build places one in the tarnvue
// executable; Windows executables carry one in their version resource.
//
// All eight numbers are -1 until a read succeeds, and again after a read
// fails. Each is a signed 16-bit half, so 40000 reads as -25536.
class FileVerInfo {
public:
    static constexpr int RecordSize = 52;
    using Record = std::array<quint32, RecordSize / 4>;

    FileVerInfo();

    // Reads the named file's record; false, with all eight at -1, when the
    // file cannot be read or holds no record.
    bool GetInfo(const QString& file);
    // GetInfo on the program's own executable.
    bool GetExecutableInfo();

    qint16 FileVersionMajor() const { return m_fileMajor; }
    qint16 FileVersionMinor() const { return m_fileMinor; }
    qint16 FileVersionPrivate() const { return m_filePrivate; }
    // A variant holding a 16-bit integer.
    QVariant FileVersionBuild() const { return QVariant::fromValue<qint16>(m_fileBuild); }
    qint16 ProductVersionMajor() const { return m_productMajor; }
    qint16 ProductVersionMinor() const { return m_productMinor; }
    qint16 ProductVersionPrivate() const { return m_productPrivate; }
    qint16 ProductVersionBuild() const { return m_productBuild; }

    // The first record in the data, at any byte offset; the device is read
    // in pieces from its current position to its end.
    static std::optional<Record> findRecord(QIODevice& device);

    // The program's own executable.
    static QString executablePath();

private:
    void clear();

    qint16 m_fileMajor = -1;
    qint16 m_fileMinor = -1;
    qint16 m_filePrivate = -1;
    qint16 m_fileBuild = -1;
    qint16 m_productMajor = -1;
    qint16 m_productMinor = -1;
    qint16 m_productPrivate = -1;
    qint16 m_productBuild = -1;
};

} // namespace tarnvue
