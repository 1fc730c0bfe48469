#include "app/qt/LanguagePack.h"

#include <QDir>
#include <QFile>
#include <QResource>

#include "app/LanguageResources.h"
#include "base/StringTable.h"

namespace sondrel {

QString LoadLanguageResources(const QString& executableDir, const QString& locale) {
    const auto file = LanguagePackFileName(LanguageIdFromLocale(locale.toStdString()));
    if (!file)
        return {};
    const QString path = QDir(executableDir).filePath(QString::fromStdString(*file));
    if (!QFile::exists(path) || !QResource::registerResource(path, QStringLiteral("/lang"))) {
        return {};
    }
    QFile strings(QStringLiteral(":/lang/strings.tsv"));
    if (strings.open(QIODevice::ReadOnly)) {
        const QByteArray text = strings.readAll();
        SetStringOverrides(ParseLanguageStrings(std::string_view(text.constData(), text.size())));
    }
    return path;
}

}  // namespace sondrel
