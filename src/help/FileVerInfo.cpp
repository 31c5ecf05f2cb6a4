#include "FileVerInfo.h"

#include <QCoreApplication>
#include <QFile>
#include <QtEndian>
#include <cstring>

namespace tarnvue {

namespace {

// Kept apart so that the two words never stand side by side as one constant
// in this code, where a scan of this very program would take them for a
// record.
constexpr quint32 Signature = 0xFEEF04BDu;
constexpr quint32 StructureVersion = 0x00010000u;
constexpr qint64 PieceSize = 1 << 20;

quint32 wordAt(const char* data) {
    return qFromLittleEndian<quint32>(data);
}

qint16 highHalf(quint32 word) {
    return static_cast<qint16>(static_cast<quint16>(word >> 16));
}

qint16 lowHalf(quint32 word) {
    return static_cast<qint16>(static_cast<quint16>(word & 0xFFFFu));
}

} // namespace

FileVerInfo::FileVerInfo() = default;

void FileVerInfo::clear() {
    m_fileMajor = m_fileMinor = m_filePrivate = m_fileBuild = -1;
    m_productMajor = m_productMinor = m_productPrivate = m_productBuild = -1;
}

std::optional<FileVerInfo::Record> FileVerInfo::findRecord(QIODevice& device) {
    char signature[4];
    qToLittleEndian(Signature, signature);
    const QByteArray needle(signature, 4);

    QByteArray window;
    for (;;) {
        const QByteArray piece = device.read(PieceSize);
        if (piece.isEmpty())
            return std::nullopt;
        window += piece;
        qsizetype from = 0;
        for (;;) {
            const qsizetype at = window.indexOf(needle, from);
            if (at < 0 || at + RecordSize > window.size())
                break;
            if (wordAt(window.constData() + at + 4) == StructureVersion) {
                Record record;
                for (std::size_t i = 0; i < record.size(); ++i)
                    record[i] = wordAt(window.constData() + at + 4 * static_cast<qsizetype>(i));
                return record;
            }
            from = at + 1;
        }
        // A record may straddle two pieces: keep what could be its start.
        window = window.right(RecordSize - 1);
    }
}

bool FileVerInfo::GetInfo(const QString& file) {
    clear();
    QFile in(file);
    if (!in.open(QIODevice::ReadOnly))
        return false;
    const std::optional<Record> record = findRecord(in);
    if (!record)
        return false;
    const Record& r = *record;
    // Words 2 and 3: file version, most and least significant; 4 and 5: the
    // product version.
    m_fileMajor = highHalf(r[2]);
    m_fileMinor = lowHalf(r[2]);
    m_filePrivate = highHalf(r[3]);
    m_fileBuild = lowHalf(r[3]);
    m_productMajor = highHalf(r[4]);
    m_productMinor = lowHalf(r[4]);
    m_productPrivate = highHalf(r[5]);
    m_productBuild = lowHalf(r[5]);
    return true;
}

bool FileVerInfo::GetExecutableInfo() {
    return GetInfo(executablePath());
}

QString FileVerInfo::executablePath() {
    return QCoreApplication::applicationFilePath();
}

} // namespace tarnvue
