#pragma once

#include <QByteArray>
#include <QFile>
#include <QString>
#include <QtEndian>

namespace tarnvue::test {

// 52 bytes in the shape of a fixed version record.
inline QByteArray versionRecord(quint16 fileMajor, quint16 fileMinor, quint16 filePrivate,
                                quint16 fileBuild, quint16 productMajor, quint16 productMinor,
                                quint16 productPrivate, quint16 productBuild,
                                quint32 structureVersion = 0x00010000u) {
    // Made at run time: a record folded into this program's constant data
    // would itself be found by a scan of the test program.
    volatile quint32 signature = 0xFEEF04BDu;
    const quint32 words[13] = {signature,
                               structureVersion,
                               quint32(fileMajor) << 16 | fileMinor,
                               quint32(filePrivate) << 16 | fileBuild,
                               quint32(productMajor) << 16 | productMinor,
                               quint32(productPrivate) << 16 | productBuild,
                               0x3Fu,
                               0,
                               0x40004u,
                               1,
                               0,
                               0,
                               0};
    QByteArray bytes(52, '\0');
    for (int i = 0; i < 13; ++i)
        qToLittleEndian(words[i], bytes.data() + 4 * i);
    return bytes;
}

// Filler that holds no signature.
inline QByteArray filler(qsizetype size) {
    QByteArray bytes(size, '\0');
    for (qsizetype i = 0; i < size; ++i)
        bytes[i] = char('A' + i % 23);
    return bytes;
}

inline bool writeFile(const QString& path, const QByteArray& bytes) {
    QFile file(path);
    return file.open(QIODevice::WriteOnly) && file.write(bytes) == bytes.size();
}

} // namespace tarnvue::test
