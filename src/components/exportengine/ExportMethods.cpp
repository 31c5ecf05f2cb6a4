#include "ExportMethods.h"

#include <QDir>
#include <QFileInfo>

namespace tarnvue {

QString ExportMethod::filter() const {
    QStringList patterns;
    for (const QString& suffix : suffixes)
        patterns.append(QStringLiteral("*.") + suffix);
    return displayName + QStringLiteral(" (") + patterns.join(QLatin1Char(' ')) + QLatin1Char(')');
}

namespace {

const ExportMethod& method(const char* key) {
    for (const ExportMethod& m : allExportMethods()) {
        if (m.key == QLatin1String(key))
            return m;
    }
    Q_UNREACHABLE();
}

} // namespace

const QList<ExportMethod>& allExportMethods() {
    static const QList<ExportMethod> methods{
        {QStringLiteral("HTML"),
         QStringLiteral("Web Page (HTML)"),
         {QStringLiteral("html"), QStringLiteral("htm")}},
        {QStringLiteral("MHTML"),
         QStringLiteral("Web Archive (MHTML)"),
         {QStringLiteral("mhtml"), QStringLiteral("mht")}},
        {QStringLiteral("PDF"), QStringLiteral("PDF Document"), {QStringLiteral("pdf")}},
        {QStringLiteral("PNG"), QStringLiteral("PNG Image"), {QStringLiteral("png")}},
        {QStringLiteral("SVG"), QStringLiteral("SVG Drawing"), {QStringLiteral("svg")}},
        {QStringLiteral("CSV"),
         QStringLiteral("Comma-Separated Values (CSV)"),
         {QStringLiteral("csv")}},
        {QStringLiteral("TXT"), QStringLiteral("Text File"), {QStringLiteral("txt")}},
    };
    return methods;
}

QList<ExportMethod> exportMethodsFor(int objectType) {
    QList<const char*> keys;
    switch (objectType) {
    case int(ExportObjectType::Table):
        keys = {"HTML", "MHTML", "CSV", "TXT"};
        break;
    case int(ExportObjectType::Text):
        keys = {"TXT", "HTML", "PDF"};
        break;
    case int(ExportObjectType::Picture):
        keys = {"HTML", "MHTML", "PDF", "PNG", "SVG"};
        break;
    case int(ExportObjectType::Chart):
        keys = {"HTML", "MHTML", "PDF", "PNG", "SVG", "CSV", "TXT"};
        break;
    default:
        break;
    }
    QList<ExportMethod> methods;
    for (const char* key : keys)
        methods.append(method(key));
    return methods;
}

const ExportMethod* findMethod(const QList<ExportMethod>& methods, const QString& key) {
    for (const ExportMethod& m : methods) {
        if (m.key.compare(key.trimmed(), Qt::CaseInsensitive) == 0)
            return &m;
    }
    return nullptr;
}

bool isPrintMethod(const QString& key) {
    return key.compare(QLatin1String(PrinterKey), Qt::CaseInsensitive) == 0 ||
           key.compare(QLatin1String(PreviewKey), Qt::CaseInsensitive) == 0;
}

const QList<SendToMethod>& sendToMethods() {
    static const QList<SendToMethod> methods{
        {QStringLiteral("MailContent"), QStringLiteral("Mail Recipient")},
        {QStringLiteral("MyDocuments"), QStringLiteral("Documents Folder")},
        {QStringLiteral("Desktop"), QStringLiteral("Desktop")},
        {QStringLiteral("Open"), QStringLiteral("Open with Default Application")},
    };
    return methods;
}

QString methodDisplayName(const QString& key) {
    if (const ExportMethod* m = findMethod(allExportMethods(), key))
        return m->displayName;
    if (key.compare(QLatin1String(PrinterKey), Qt::CaseInsensitive) == 0)
        return QStringLiteral("Printer");
    if (key.compare(QLatin1String(PreviewKey), Qt::CaseInsensitive) == 0)
        return QStringLiteral("Print Preview");
    for (const SendToMethod& m : sendToMethods()) {
        if (m.key.compare(key.trimmed(), Qt::CaseInsensitive) == 0)
            return m.displayName;
    }
    return {};
}

QString freeFileName(const QString& folder, const QString& fileName) {
    const QDir dir(folder);
    if (!QFileInfo::exists(dir.filePath(fileName)))
        return dir.filePath(fileName);
    const QFileInfo info(fileName);
    const QString base = info.completeBaseName();
    const QString suffix = info.suffix().isEmpty() ? QString() : QLatin1Char('.') + info.suffix();
    for (int n = 2;; ++n) {
        const QString candidate =
            dir.filePath(QStringLiteral("%1 (%2)%3").arg(base).arg(n).arg(suffix));
        if (!QFileInfo::exists(candidate))
            return candidate;
    }
}

} // namespace tarnvue
